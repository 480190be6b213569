// Who made the card behind a Linux block device, from sysfs: an SD or MMC
// card in a native slot (mmcblk) by its registers, a USB reader by its own
// names. Reads only; nothing is opened on the card.
#pragma once

#include "cli/card_identity.h"

#include <optional>
#include <string>

// nullopt for an image file, or a device sysfs says nothing about.
// sysfsRoot is where sysfs is mounted.
std::optional<CardIdentity> ReadCardIdentity(const std::string& path, const std::string& sysfsRoot = "/sys");

// Who made the card behind a drive letter, as far as Windows tells: the bus
// its device is on and the device's vendor and model, as the storage stack
// describes them (the card's own registers are not within reach there).
#pragma once

#include "cli/card_identity.h"

#include <optional>

// nullopt when the storage stack does not describe the device or names
// nobody.
std::optional<CardIdentity> ReadCardIdentity(char driveLetter);

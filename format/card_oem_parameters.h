// What an exFAT card says about itself, read by the job before it erases
// the card: an Optimized erase zeroes the boot region, a Complete one
// everything, and the builder comes after.
#pragma once

#include "drives/raw_volume.h"
#include "trellan/exfat_oem_parameters.h"

#include <cstdint>
#include <optional>

// The OEM parameters of the exFAT volume on the card of lengthBytes, when
// they hold a flash-parameters record (see trellan/exfat_oem_parameters.h);
// nullopt otherwise. Only reads.
std::optional<trellan::ExfatOemSector> ReadCardOemParameters(RawVolume& volume, std::uint64_t lengthBytes);

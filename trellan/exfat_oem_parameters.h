// The exFAT OEM parameters sector: ten 48-byte records, each opened by a
// GUID naming its kind; an all-zero GUID marks one unused. A card's maker may
// leave a flash-parameters record there (erase block and page sizes), and a
// re-format keeps it rather than lose what the card says about itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "trellan/block_device.h"

namespace trellan {

namespace exfat_oem {
inline constexpr std::size_t record_bytes = 48;
inline constexpr std::size_t record_count = 10;
inline constexpr std::size_t guid_bytes = 16;     // at the start of a record
inline constexpr std::uint32_t sector_index = 9;  // in a boot region
}  // namespace exfat_oem

using ExfatOemSector = std::array<std::uint8_t, 512>;

// The records of sector worth keeping: those in use, each in its place, when
// one of them is a flash-parameters record (a GUID of all ones, another
// formatter's fill, is no record); nullopt otherwise (garbage, or nothing set).
std::optional<ExfatOemSector> kept_oem_parameters(std::span<const std::uint8_t> sector);

// The OEM parameters of the exFAT volume on device now (the one the MBR's
// first partition holds, or one over the whole card), before a format
// overwrites them; nullopt when there is none worth keeping or it cannot be read.
std::optional<ExfatOemSector> read_oem_parameters(BlockDevice& device);

}  // namespace trellan

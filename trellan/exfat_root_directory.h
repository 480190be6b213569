// The root directory of a fresh exFAT volume: volume label, allocation
// bitmap and up-case table entries, then end-of-directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "trellan/exfat_layout.h"

namespace trellan {

namespace exfat_entry {
inline constexpr std::size_t bytes = 32;
inline constexpr std::size_t entry_type = 0;  // 1: InUse | category | importance | code
// Volume label (type 83h).
inline constexpr std::size_t character_count = 1;  // 1, UTF-16 units
inline constexpr std::size_t volume_label = 2;     // 22, UTF-16LE
// Allocation bitmap (81h) and up-case table (82h).
inline constexpr std::size_t bitmap_flags = 1;    // 1, bit 0 = which bitmap
inline constexpr std::size_t table_checksum = 4;  // 4, up-case only
inline constexpr std::size_t first_cluster = 20;  // 4
inline constexpr std::size_t data_length = 24;    // 8, bytes

inline constexpr std::uint8_t type_volume_label = 0x83;
inline constexpr std::uint8_t type_allocation_bitmap = 0x81;
inline constexpr std::uint8_t type_upcase_table = 0x82;
}  // namespace exfat_entry

// Fills the first entries of the root's first cluster (the rest of the span
// is left as it is, which the caller keeps zero: end of directory).
void write_exfat_root_entries(std::span<std::uint8_t> cluster, const ExfatLayout& layout, std::u16string_view label,
                              std::uint32_t upcase_checksum);

}  // namespace trellan

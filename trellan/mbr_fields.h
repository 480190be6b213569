// Where the fields of a card's master boot record lie: read by the disk
// calls that show Windows the layout as well as by the builders.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trellan {

// Byte offsets in sector 0.
namespace mbr_offset {
inline constexpr std::size_t disk_signature = 0x1B8;  // 4 bytes
inline constexpr std::size_t copy_protect = 0x1BC;    // 2 bytes, 0000h (5A5Ah means copy-protected to some tools)
inline constexpr std::size_t first_entry = 0x1BE;     // 4 entries of 16 bytes
inline constexpr std::size_t signature = 0x1FE;       // 2 bytes, 55h AAh
}  // namespace mbr_offset

// Byte offsets in a 16-byte partition entry.
namespace partition_entry_offset {
inline constexpr std::size_t boot_indicator = 0;  // 00h: cards are never booted from
inline constexpr std::size_t start_chs = 1;       // 3 bytes
inline constexpr std::size_t type = 4;
inline constexpr std::size_t end_chs = 5;    // 3 bytes
inline constexpr std::size_t start_lba = 8;  // 4 bytes, sectors
inline constexpr std::size_t length = 12;    // 4 bytes, sectors
}  // namespace partition_entry_offset

inline constexpr std::size_t mbr_partition_entry_bytes = 16;
inline constexpr std::uint8_t boot_indicator_active = 0x80;
inline constexpr std::uint16_t boot_signature = 0xAA55;  // bytes 55h AAh at the end of a boot sector

}  // namespace trellan

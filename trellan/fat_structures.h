// The FAT on-disk structures a format writes, as named byte offsets, and the
// functions that fill one 512-byte sector of each from a layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "trellan/fat_label.h"
#include "trellan/fat_layout.h"
#include "trellan/format_stamp.h"

namespace trellan {

// Boot sector, common part (BIOS parameter block).
namespace bpb_offset {
inline constexpr std::size_t jump = 0x00;                 // 3 bytes
inline constexpr std::size_t oem_name = 0x03;             // 8 bytes
inline constexpr std::size_t bytes_per_sector = 0x0B;     // 2
inline constexpr std::size_t sectors_per_cluster = 0x0D;  // 1
inline constexpr std::size_t reserved_sectors = 0x0E;     // 2
inline constexpr std::size_t fat_count = 0x10;            // 1
inline constexpr std::size_t root_entries = 0x11;         // 2
inline constexpr std::size_t total_sectors_16 = 0x13;     // 2, 0 when it does not fit
inline constexpr std::size_t media = 0x15;                // 1
inline constexpr std::size_t fat_length_16 = 0x16;        // 2, 0 on FAT32
inline constexpr std::size_t sectors_per_track = 0x18;    // 2
inline constexpr std::size_t heads = 0x1A;                // 2
inline constexpr std::size_t hidden_sectors = 0x1C;       // 4, LBA of this sector
inline constexpr std::size_t total_sectors_32 = 0x20;     // 4
inline constexpr std::size_t signature = 0x1FE;           // 2, 55h AAh
}  // namespace bpb_offset

// FAT12/16 extension.
namespace fat16_bpb_offset {
inline constexpr std::size_t drive_number = 0x24;    // 1
inline constexpr std::size_t boot_signature = 0x26;  // 1, 29h: the next three fields are present
inline constexpr std::size_t volume_id = 0x27;       // 4
inline constexpr std::size_t volume_label = 0x2B;    // 11
inline constexpr std::size_t type_name = 0x36;       // 8, informational only
inline constexpr std::size_t boot_code = 0x3E;
}  // namespace fat16_bpb_offset

// FAT32 extension.
namespace fat32_bpb_offset {
inline constexpr std::size_t fat_length_32 = 0x24;       // 4
inline constexpr std::size_t extended_flags = 0x28;      // 2, 0: all FATs mirrored
inline constexpr std::size_t version = 0x2A;             // 2, 0.0
inline constexpr std::size_t root_cluster = 0x2C;        // 4
inline constexpr std::size_t fsinfo_sector = 0x30;       // 2
inline constexpr std::size_t backup_boot_sector = 0x32;  // 2
inline constexpr std::size_t drive_number = 0x40;        // 1
inline constexpr std::size_t boot_signature = 0x42;      // 1
inline constexpr std::size_t volume_id = 0x43;           // 4
inline constexpr std::size_t volume_label = 0x47;        // 11
inline constexpr std::size_t type_name = 0x52;           // 8
inline constexpr std::size_t boot_code = 0x5A;
}  // namespace fat32_bpb_offset

// FAT32 FSInfo sector.
namespace fsinfo_offset {
inline constexpr std::size_t lead_signature = 0;      // 4, 41615252h
inline constexpr std::size_t struct_signature = 484;  // 4, 61417272h
inline constexpr std::size_t free_clusters = 488;     // 4
inline constexpr std::size_t next_free = 492;         // 4
inline constexpr std::size_t trail_signature = 508;   // 4, AA550000h
}  // namespace fsinfo_offset

// A 32-byte directory entry.
namespace directory_entry_offset {
inline constexpr std::size_t name = 0x00;        // 11
inline constexpr std::size_t attributes = 0x0B;  // 1
inline constexpr std::size_t write_time = 0x16;  // 2, DOS time
inline constexpr std::size_t write_date = 0x18;  // 2, DOS date
}  // namespace directory_entry_offset

// FAT32 sector numbers inside the reserved area.
inline constexpr std::uint32_t fat32_fsinfo_sector = 1;
inline constexpr std::uint32_t fat32_backup_boot_sector = 6;

inline constexpr std::uint8_t fixed_disk_media = 0xF8;  // what cards use, too
inline constexpr std::uint8_t volume_label_attribute = 0x08;

// Boot sector of the layout (sector 0 of the partition; FAT32's backup at 6 is the same).
void fill_boot_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout, const FatLabel& label,
                      std::uint32_t volume_id);
void fill_fsinfo_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout);
// First sector of each FAT copy: the reserved entries (and FAT32's root end-of-chain).
void fill_first_fat_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout);
// First sector of the root directory, holding the label entry when there is a label.
void fill_first_root_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLabel& label,
                            const FormatStamp& stamp);

std::uint16_t dos_date(const FormatStamp& stamp);
std::uint16_t dos_time(const FormatStamp& stamp);

}  // namespace trellan

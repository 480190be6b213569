// The exFAT boot region: boot sector, eight extended boot sectors, OEM
// parameters, a reserved sector and the checksum sector; written twice, as
// the main region at volume sector 0 and the backup at sector 12.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "trellan/exfat_layout.h"
#include "trellan/exfat_oem_parameters.h"

namespace trellan {

namespace exfat_boot {
// Boot sector fields: byte offset, size in the comment.
inline constexpr std::size_t jump_boot = 0;                    // 3
inline constexpr std::size_t file_system_name = 3;             // 8, "EXFAT   "
inline constexpr std::size_t must_be_zero = 11;                // 53
inline constexpr std::size_t partition_offset = 64;            // 8, sectors
inline constexpr std::size_t volume_length = 72;               // 8, sectors
inline constexpr std::size_t fat_offset = 80;                  // 4, sectors
inline constexpr std::size_t fat_length = 84;                  // 4, sectors
inline constexpr std::size_t cluster_heap_offset = 88;         // 4, sectors
inline constexpr std::size_t cluster_count = 92;               // 4
inline constexpr std::size_t first_cluster_of_root = 96;       // 4
inline constexpr std::size_t volume_serial_number = 100;       // 4
inline constexpr std::size_t file_system_revision = 104;       // 2
inline constexpr std::size_t volume_flags = 106;               // 2, left out of the checksum
inline constexpr std::size_t bytes_per_sector_shift = 108;     // 1
inline constexpr std::size_t sectors_per_cluster_shift = 109;  // 1
inline constexpr std::size_t number_of_fats = 110;             // 1
inline constexpr std::size_t drive_select = 111;               // 1
inline constexpr std::size_t percent_in_use = 112;             // 1, left out of the checksum
inline constexpr std::size_t boot_code = 120;                  // 390
inline constexpr std::size_t boot_signature = 510;             // 2, 55h AAh
// Extended boot sectors end in this 32-bit signature.
inline constexpr std::size_t extended_boot_signature = 508;  // 4

inline constexpr std::uint32_t sector_bytes = 512;
inline constexpr std::uint32_t region_sectors = 12;
inline constexpr std::uint32_t checksummed_sectors = 11;  // all but the checksum sector
inline constexpr std::uint32_t backup_region_sector = 12;
}  // namespace exfat_boot

using ExfatBootRegion = std::array<std::uint8_t, exfat_boot::region_sectors * exfat_boot::sector_bytes>;

// Boot checksum over the first 11 sectors of a region (VolumeFlags and
// PercentInUse excluded, since a driver changes them without rewriting it).
std::uint32_t exfat_boot_checksum(std::span<const std::uint8_t> region);

// The 12 sectors of one boot region, checksum sector filled in; the OEM
// parameters sector holds oem_parameters, or zeros.
ExfatBootRegion build_exfat_boot_region(const ExfatLayout& layout, std::uint32_t volume_serial,
                                        const std::optional<ExfatOemSector>& oem_parameters = std::nullopt);

}  // namespace trellan

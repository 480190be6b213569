// Cluster sizes and boundary units the builders start from, by card size.
#pragma once

#include <cstdint>

namespace trellan {

struct SdFatParameters {
    std::uint32_t sectors_per_cluster;
    std::uint32_t boundary_unit_sectors;  // the card's erase-block unit; the data area starts on it
};

// Standard-capacity SD cards end at 2 GiB.
inline constexpr std::uint64_t sd_standard_capacity_max_sectors = 4194304;

// The SD association's FAT12/16 rows: cluster and boundary unit by card size.
// Beyond the table the last row applies (and FAT16 will not fit).
SdFatParameters sd_standard_capacity_parameters(std::uint64_t card_sectors);

// High-capacity SD cards: 32 KiB clusters, data area on 4 MiB, and the
// partition starts one boundary unit into the card.
inline constexpr SdFatParameters sd_high_capacity_parameters{64, 8192};

// Windows' default cluster sizes for a volume of this many sectors, the ones
// a CF card formatted like a hard disk gets.
std::uint32_t windows_fat16_sectors_per_cluster(std::uint64_t volume_sectors);
std::uint32_t windows_fat32_sectors_per_cluster(std::uint64_t volume_sectors);

}  // namespace trellan

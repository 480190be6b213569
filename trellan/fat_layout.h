// FAT12/16/32 layout planning: pure arithmetic from the card's size and the
// builder's parameters to every region of the volume. Nothing here touches a
// device; the writers take the result by const reference.
#pragma once

#include <cstdint>

#include "trellan/file_system.h"
#include "trellan/format_status.h"
#include "trellan/mbr.h"

namespace trellan {

// Cluster-count limits. Readers decide FAT12/16/32 from the cluster count
// alone, so a count near a limit must never be ambiguous.

// fatgen103 and Linux read fewer than 4085 clusters as FAT12.
inline constexpr std::uint32_t fat12_max_clusters = 4084;
// Windows' driver still reads 4085 and 4086 clusters as FAT12 while fatgen103
// and Linux read FAT16. We side with Windows for the lower FAT16 limit, so
// neither count is ever written and every reader agrees on the type.
inline constexpr std::uint32_t fat16_min_clusters = 4087;
// From 65525 clusters every reader takes FAT32.
inline constexpr std::uint32_t fat16_max_clusters = 65524;
inline constexpr std::uint32_t fat32_min_clusters = 65525;
// FAT32 entries have 28 bits and 0FFFFFF7h and up are bad/end-of-chain
// marks, so the highest cluster number is 0FFFFFF6h; clusters start at 2.
inline constexpr std::uint32_t fat32_max_clusters = 268435445;

// 2 FATs: every DOS-lineage reader and camera expects the mirror.
inline constexpr std::uint32_t fat_copies = 2;
// The fixed FAT12/16 root: 512 entries of 32 bytes, 32 sectors.
inline constexpr std::uint32_t fat16_root_entries = 512;
inline constexpr std::uint32_t directory_entry_bytes = 32;
// Boot sector, FSInfo, sector 2 and their backups at 6, 7 and 8.
inline constexpr std::uint32_t fat32_min_reserved_sectors = 9;
// The FAT32 root directory's first cluster.
inline constexpr std::uint32_t fat32_root_cluster = 2;
// BPB fields are 16-bit for reserved sectors and FAT12/16 FAT length.
inline constexpr std::uint32_t bpb_max_16_bit = 0xFFFF;
inline constexpr std::uint32_t sector_bytes = 512;

// How the planner brings the data area onto the boundary unit.
enum class FatAlignment {
    move_partition_start,   // the partition start moves on in boundary units (FAT12/16 on SD cards)
    grow_reserved_sectors,  // the reserved sectors grow; the partition start stays put
    none,                   // start and reserved sectors as asked; the smallest FAT that holds the clusters
};

struct FatPlanRequest {
    std::uint64_t card_sectors = 0;
    FileSystem file_system = FileSystem::fat16;
    std::uint32_t sectors_per_cluster = 0;
    // The data area (cluster 2) starts on a multiple of this, counted from
    // sector 0 of the card; 1 means no constraint.
    std::uint32_t boundary_unit_sectors = 1;
    // The earliest partition start (move_partition_start) or the fixed one.
    std::uint64_t partition_start_sectors = 0;
    // The fewest reserved sectors (grow_reserved_sectors) or the fixed count (others).
    std::uint32_t reserved_sectors = 1;
    FatAlignment alignment = FatAlignment::move_partition_start;
    ChsGeometry geometry;
};

struct FatLayout {
    FileSystem file_system = FileSystem::fat16;
    std::uint64_t card_sectors = 0;
    std::uint64_t partition_start_sectors = 0;   // LBA of the boot sector
    std::uint64_t partition_length_sectors = 0;  // to the end of the card
    std::uint32_t reserved_sectors = 0;          // boot sector .. first FAT
    std::uint32_t fat_length_sectors = 0;        // one copy
    std::uint32_t root_entries = 0;              // fixed root (FAT12/16); 0 on FAT32
    std::uint32_t sectors_per_cluster = 0;
    std::uint32_t total_clusters = 0;  // clusters 2 .. total_clusters + 1
    std::uint32_t boundary_unit_sectors = 1;
    std::uint8_t partition_type = 0;
    ChsGeometry geometry;

    std::uint32_t root_directory_sectors() const { return root_entries * directory_entry_bytes / sector_bytes; }
    std::uint32_t cluster_bytes() const { return sectors_per_cluster * sector_bytes; }
    // Offsets from the partition start.
    std::uint64_t fat_offset_sectors() const { return reserved_sectors; }
    std::uint64_t root_directory_offset_sectors() const
    {
        return fat_offset_sectors() + std::uint64_t{fat_copies} * fat_length_sectors;
    }
    std::uint64_t data_offset_sectors() const { return root_directory_offset_sectors() + root_directory_sectors(); }
    // Sectors from the card's sector 0.
    std::uint64_t data_start_sectors() const { return partition_start_sectors + data_offset_sectors(); }
    MbrLayout mbr_layout() const
    {
        return {partition_start_sectors, partition_length_sectors, partition_type, geometry};
    }
};

// The outcome of a plan: a layout, or why the request does not fit
// (too_small: no room or too few clusters for the type; too_large: too many
// clusters for the type, or beyond the 32-bit sector fields).
struct FatPlan {
    FatLayout layout;
    Failure failure = Failure::none;

    bool ok() const { return failure == Failure::none; }
};

// Plans a volume: FAT length, partition start or reserved sectors so that the
// data area starts on the boundary unit, cluster count and partition type.
FatPlan plan_fat(const FatPlanRequest& request);

std::uint64_t align_up(std::uint64_t value, std::uint64_t unit);

}  // namespace trellan

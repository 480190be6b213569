// Where an exFAT card's regions go. Pure arithmetic: the planner decides the
// whole layout before a single sector is written.
#pragma once

#include <cstdint>

#include "trellan/format_status.h"

namespace trellan {

struct ExfatParameters {
    std::uint32_t sectors_per_cluster = 0;
    std::uint32_t boundary_unit_sectors = 0;  // erase/allocation unit the heap is aligned to
};

// Cluster size and boundary unit for a card of this many 512-byte sectors.
ExfatParameters exfat_parameters(std::uint64_t total_sectors);

struct ExfatLayout {
    std::uint64_t total_sectors = 0;
    std::uint32_t boundary_unit_sectors = 0;
    std::uint64_t partition_start_sectors = 0;  // card LBA of the volume (MBR entry, PartitionOffset)
    std::uint64_t volume_length_sectors = 0;
    // The following are volume-relative, as the boot sector stores them.
    std::uint32_t fat_offset_sectors = 0;
    std::uint32_t fat_length_sectors = 0;
    std::uint32_t fat_used_sectors = 0;  // the part of the FAT that holds real entries
    std::uint32_t cluster_heap_offset_sectors = 0;
    std::uint32_t cluster_count = 0;
    std::uint32_t sectors_per_cluster = 0;
    std::uint8_t sectors_per_cluster_shift = 0;
    // The three system objects, back to back from cluster 2.
    std::uint32_t bitmap_first_cluster = 0;
    std::uint32_t bitmap_bytes = 0;
    std::uint32_t bitmap_clusters = 0;
    std::uint32_t upcase_first_cluster = 0;
    std::uint32_t upcase_bytes = 0;
    std::uint32_t upcase_clusters = 0;
    std::uint32_t root_first_cluster = 0;
    std::uint32_t root_clusters = 0;

    std::uint32_t cluster_bytes() const { return sectors_per_cluster * 512u; }
    std::uint32_t used_clusters() const { return bitmap_clusters + upcase_clusters + root_clusters; }
    // Card LBA of the first sector of a heap cluster (2 = first).
    std::uint64_t cluster_sector(std::uint32_t cluster) const
    {
        return partition_start_sectors + cluster_heap_offset_sectors + std::uint64_t{cluster - 2} * sectors_per_cluster;
    }
};

struct ExfatPlan {
    FormatStatus status;
    ExfatLayout layout;
};

// Lays out a card of total_sectors sectors of sector_bytes each, with an
// up-case table of upcase_bytes. Fails for anything but 512-byte sectors, for
// cards too small to hold a volume and for cards beyond what an MBR addresses.
ExfatPlan plan_exfat(std::uint64_t total_sectors, std::uint32_t sector_bytes, std::uint32_t upcase_bytes);

}  // namespace trellan

#include "trellan/fat_layout.h"

#include <optional>

namespace trellan {
namespace {

std::uint32_t fat_entry_bits(FileSystem file_system)
{
    switch (file_system) {
    case FileSystem::fat12:
        return 12;
    case FileSystem::fat16:
        return 16;
    case FileSystem::fat32:
    case FileSystem::exfat:
        break;
    }
    return 32;
}

std::uint64_t divide_up(std::uint64_t value, std::uint64_t unit)
{
    return (value + unit - 1) / unit;
}

// Sectors one FAT needs to hold entries for this many clusters plus the two
// reserved entries.
std::uint64_t fat_sectors_for(std::uint64_t clusters, std::uint32_t bits)
{
    return divide_up((clusters + 2) * bits, std::uint64_t{sector_bytes} * 8);
}

struct ClusterRange {
    std::uint32_t min_clusters;
    std::uint32_t max_clusters;
};

ClusterRange cluster_range(FileSystem file_system)
{
    switch (file_system) {
    case FileSystem::fat12:
        return {1, fat12_max_clusters};
    case FileSystem::fat16:
        return {fat16_min_clusters, fat16_max_clusters};
    case FileSystem::fat32:
    case FileSystem::exfat:
        break;
    }
    return {fat32_min_clusters, fat32_max_clusters};
}

// The moving parts of the iteration: partition start, reserved sectors and
// the length of one FAT, all in sectors.
struct Trial {
    std::uint64_t start_sectors;
    std::uint64_t reserved_sectors;
    std::uint64_t fat_sectors;
    std::uint64_t root_sectors;

    std::uint64_t system_sectors() const { return reserved_sectors + fat_copies * fat_sectors + root_sectors; }
};

// Puts the data area on the boundary unit: the earliest partition start, or
// the fewest reserved sectors, that achieves it.
void align_trial(Trial& trial, const FatPlanRequest& request)
{
    const std::uint64_t unit = request.boundary_unit_sectors;
    trial.start_sectors = request.partition_start_sectors;
    trial.reserved_sectors = request.reserved_sectors;
    if (request.alignment == FatAlignment::move_partition_start) {
        trial.start_sectors =
            align_up(request.partition_start_sectors + trial.system_sectors(), unit) - trial.system_sectors();
    } else if (request.alignment == FatAlignment::grow_reserved_sectors) {
        const std::uint64_t data_start = trial.start_sectors + trial.system_sectors();
        trial.reserved_sectors += align_up(data_start, unit) - data_start;
    }
}

// Steps one boundary unit on, keeping the data area aligned, when the FAT
// turned out too small for the clusters that remain.
void step_trial(Trial& trial, const FatPlanRequest& request)
{
    if (request.alignment == FatAlignment::move_partition_start) {
        trial.start_sectors += request.boundary_unit_sectors;
    } else {
        trial.reserved_sectors += request.boundary_unit_sectors;
    }
}

// Clusters left with this FAT length, or nothing when the system area fills the card.
std::optional<std::uint64_t> clusters_left(const Trial& trial, std::uint64_t card, std::uint64_t cluster)
{
    const std::uint64_t used = trial.start_sectors + trial.system_sectors();
    if (used >= card) {
        return std::nullopt;
    }
    return (card - used) / cluster;
}

// Start and reserved sectors as asked: shrink the FAT while the smaller one
// still holds every cluster. Returns the cluster count, or nothing when the
// system area fills the card.
std::optional<std::uint64_t> size_fat_in_place(Trial& trial, const FatPlanRequest& request, std::uint32_t bits)
{
    align_trial(trial, request);
    const auto current = clusters_left(trial, request.card_sectors, request.sectors_per_cluster);
    if (!current) {
        return std::nullopt;
    }
    std::uint64_t clusters = *current;
    while (trial.fat_sectors > 1) {
        Trial smaller = trial;
        --smaller.fat_sectors;
        const auto more = clusters_left(smaller, request.card_sectors, request.sectors_per_cluster);
        if (fat_sectors_for(*more, bits) > smaller.fat_sectors) {
            break;
        }
        trial = smaller;
        clusters = *more;
    }
    return clusters;
}

// The card-vendor iteration: shrink the FAT to the clusters that remain,
// moving the partition start or growing the reserved sectors in boundary
// units whenever the FAT turns out one sector short, until the FAT is exactly
// as long as the clusters need and the data area sits on the boundary unit.
std::optional<std::uint64_t> size_fat_aligned(Trial& trial, const FatPlanRequest& request, std::uint32_t bits)
{
    for (;;) {
        align_trial(trial, request);
        std::uint64_t clusters = 0;
        for (;;) {
            const auto current = clusters_left(trial, request.card_sectors, request.sectors_per_cluster);
            if (!current) {
                return std::nullopt;
            }
            clusters = *current;
            if (fat_sectors_for(clusters, bits) <= trial.fat_sectors) {
                break;
            }
            step_trial(trial, request);
        }
        const std::uint64_t needed = fat_sectors_for(clusters, bits);
        if (needed == trial.fat_sectors) {
            return clusters;
        }
        // The FAT12/16 rule jumps straight to the smaller FAT; the FAT32
        // rule shrinks one sector at a time, which never skips a fit.
        trial.fat_sectors = request.alignment == FatAlignment::move_partition_start ? needed : trial.fat_sectors - 1;
    }
}

FatPlan failed_plan(Failure failure)
{
    FatPlan plan;
    plan.failure = failure;
    return plan;
}

}  // namespace

std::uint64_t align_up(std::uint64_t value, std::uint64_t unit)
{
    return divide_up(value, unit) * unit;
}

FatPlan plan_fat(const FatPlanRequest& request)
{
    const std::uint32_t bits = fat_entry_bits(request.file_system);
    if (request.sectors_per_cluster == 0 || request.boundary_unit_sectors == 0 || request.card_sectors == 0) {
        return failed_plan(Failure::bad_geometry);
    }
    const std::uint64_t card = request.card_sectors;
    const std::uint64_t cluster = request.sectors_per_cluster;

    // Start from a FAT for every cluster the card could hold, then shrink it
    // to the clusters that remain once the system area is taken out.
    Trial trial{};
    trial.root_sectors =
        request.file_system == FileSystem::fat32 ? 0 : fat16_root_entries * directory_entry_bytes / sector_bytes;
    trial.fat_sectors = fat_sectors_for(card / cluster, bits);
    const std::optional<std::uint64_t> sized = request.alignment == FatAlignment::none
                                                   ? size_fat_in_place(trial, request, bits)
                                                   : size_fat_aligned(trial, request, bits);
    if (!sized) {
        return failed_plan(Failure::too_small);
    }
    const std::uint64_t clusters = *sized;

    const ClusterRange range = cluster_range(request.file_system);
    if (clusters < range.min_clusters) {
        return failed_plan(Failure::too_small);
    }
    if (clusters > range.max_clusters) {
        return failed_plan(Failure::too_large);
    }
    const std::uint64_t partition_length = card - trial.start_sectors;
    const bool sixteen_bit_fat = request.file_system != FileSystem::fat32;
    if (card > mbr_addressable_sectors || trial.reserved_sectors > bpb_max_16_bit ||
        (sixteen_bit_fat && trial.fat_sectors > bpb_max_16_bit)) {
        return failed_plan(Failure::too_large);
    }

    FatPlan plan;
    FatLayout& layout = plan.layout;
    layout.file_system = request.file_system;
    layout.card_sectors = card;
    layout.partition_start_sectors = trial.start_sectors;
    layout.partition_length_sectors = partition_length;
    layout.reserved_sectors = static_cast<std::uint32_t>(trial.reserved_sectors);
    layout.fat_length_sectors = static_cast<std::uint32_t>(trial.fat_sectors);
    layout.root_entries = sixteen_bit_fat ? fat16_root_entries : 0;
    layout.sectors_per_cluster = request.sectors_per_cluster;
    layout.total_clusters = static_cast<std::uint32_t>(clusters);
    layout.boundary_unit_sectors = request.boundary_unit_sectors;
    layout.geometry = request.geometry;
    layout.partition_type =
        mbr_partition_type(request.file_system, layout.partition_start_sectors, partition_length, request.geometry);

    // The point of the boundary unit: refuse rather than return a layout
    // whose clusters straddle the card's erase blocks, or a partition that
    // starts elsewhere than it was asked to.
    const bool start_as_asked = request.alignment == FatAlignment::move_partition_start
                                    ? layout.partition_start_sectors >= request.partition_start_sectors
                                    : layout.partition_start_sectors == request.partition_start_sectors;
    if (layout.data_start_sectors() % request.boundary_unit_sectors != 0 || !start_as_asked) {
        return failed_plan(Failure::bad_geometry);
    }
    return plan;
}

}  // namespace trellan

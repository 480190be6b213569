#include "trellan/exfat_layout.h"

#include <algorithm>
#include <array>
#include <bit>

namespace trellan {
namespace {

constexpr std::uint32_t sector_bytes_supported = 512;

// An MBR entry stores the partition's start and length as 32-bit sector
// counts, and SDXC ends at 2 TiB: 2^32 sectors is the largest card.
constexpr std::uint64_t max_total_sectors = std::uint64_t{1} << 32;

// exFAT wants a volume of at least 1 MiB.
constexpr std::uint64_t min_volume_sectors = (1u << 20) / sector_bytes_supported;

// The FAT starts at least 24 sectors in: two boot regions of 12 sectors.
constexpr std::uint32_t min_fat_offset_sectors = 24;

// FatOffset = BU / 2 must clear both boot regions, so BU is at least 64
// sectors (32 KiB) even where the SD table pairs a smaller card with less.
constexpr std::uint32_t min_boundary_unit_sectors = 64;

// The volume needs a free cluster beyond its system objects to be of any use.
constexpr std::uint32_t min_free_clusters = 1;

constexpr std::uint32_t fat_entry_bytes = 4;
constexpr std::uint32_t first_heap_cluster = 2;
constexpr std::uint32_t directory_entry_bytes = 32;
// Bitmap, up-case table and root: one cluster each at least; the root holds
// three entries and fits in any cluster.
constexpr std::uint32_t root_entries = 3;

struct ParameterRow {
    std::uint64_t up_to_total_sectors;
    ExfatParameters parameters;
};

// Up to 32 GiB the SD Association pairs these cards with FAT; an exFAT format
// of them takes the cluster size exFAT picks by default (4 KiB up to 256 MiB,
// 32 KiB up to 32 GiB) and the card class's boundary unit, so the heap still
// starts on the card's erase unit. From 32 GiB on the rows are the SDXC ones.
constexpr std::array<ParameterRow, 9> parameter_rows{{
    {16'384, {8, 16}},                 // 8 MiB
    {131'072, {8, 32}},                // 64 MiB
    {524'288, {8, 64}},                // 256 MiB
    {2'097'152, {64, 128}},            // 1 GiB
    {4'194'304, {64, 128}},            // 2 GiB
    {67'108'864, {64, 8'192}},         // 32 GiB
    {268'435'456, {256, 32'768}},      // 128 GiB: 128 KiB clusters, 16 MiB unit
    {1'073'741'824, {512, 65'536}},    // 512 GiB: 256 KiB clusters, 32 MiB unit
    {4'294'967'296, {1024, 131'072}},  // 2 TiB: 512 KiB clusters, 64 MiB unit
}};

std::uint64_t align_up(std::uint64_t value, std::uint64_t unit)
{
    return (value + unit - 1) / unit * unit;
}

std::uint32_t clusters_for(std::uint64_t bytes, std::uint32_t cluster_bytes)
{
    return static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (bytes + cluster_bytes - 1) / cluster_bytes));
}

ExfatPlan failed(Failure why)
{
    return {FormatStatus::failed(why, Region::layout), {}};
}

}  // namespace

ExfatParameters exfat_parameters(std::uint64_t total_sectors)
{
    for (const auto& row : parameter_rows) {
        if (total_sectors <= row.up_to_total_sectors) {
            return {row.parameters.sectors_per_cluster,
                    std::max(row.parameters.boundary_unit_sectors, min_boundary_unit_sectors)};
        }
    }
    return {};
}

ExfatPlan plan_exfat(std::uint64_t total_sectors, std::uint32_t sector_bytes, std::uint32_t upcase_bytes)
{
    if (total_sectors == 0 || sector_bytes != sector_bytes_supported) {
        return failed(Failure::bad_geometry);
    }
    if (total_sectors > max_total_sectors) {
        return failed(Failure::too_large);
    }
    const ExfatParameters parameters = exfat_parameters(total_sectors);
    const std::uint32_t unit = parameters.boundary_unit_sectors;
    const std::uint32_t cluster = parameters.sectors_per_cluster;
    if (total_sectors < unit + min_volume_sectors) {
        return failed(Failure::too_small);
    }

    ExfatLayout layout;
    layout.total_sectors = total_sectors;
    layout.boundary_unit_sectors = unit;
    layout.partition_start_sectors = unit;
    layout.volume_length_sectors = total_sectors - unit;
    layout.sectors_per_cluster = cluster;
    layout.sectors_per_cluster_shift = static_cast<std::uint8_t>(std::countr_zero(cluster));
    layout.fat_offset_sectors = std::max(unit / 2, min_fat_offset_sectors);

    // The FAT gets BU / 2 sectors so that the heap starts at BU; on cards
    // where that is too little it grows by whole units, which only shrinks
    // the cluster count, so the loop settles.
    std::uint64_t heap = unit;
    std::uint64_t clusters = 0;
    std::uint64_t fat_needed = 0;
    for (;;) {
        if (heap >= layout.volume_length_sectors) {
            return failed(Failure::too_small);
        }
        clusters = (layout.volume_length_sectors - heap) / cluster;
        fat_needed = ((clusters + first_heap_cluster) * fat_entry_bytes + sector_bytes - 1) / sector_bytes;
        if (layout.fat_offset_sectors + fat_needed <= heap) {
            break;
        }
        heap = align_up(layout.fat_offset_sectors + fat_needed, unit);
    }
    layout.cluster_heap_offset_sectors = static_cast<std::uint32_t>(heap);
    layout.fat_length_sectors = static_cast<std::uint32_t>(heap - layout.fat_offset_sectors);
    layout.fat_used_sectors = static_cast<std::uint32_t>(fat_needed);
    layout.cluster_count = static_cast<std::uint32_t>(clusters);

    const std::uint32_t cluster_bytes = layout.cluster_bytes();
    layout.bitmap_first_cluster = first_heap_cluster;
    layout.bitmap_bytes = static_cast<std::uint32_t>((clusters + 7) / 8);
    layout.bitmap_clusters = clusters_for(layout.bitmap_bytes, cluster_bytes);
    layout.upcase_first_cluster = layout.bitmap_first_cluster + layout.bitmap_clusters;
    layout.upcase_bytes = upcase_bytes;
    layout.upcase_clusters = clusters_for(upcase_bytes, cluster_bytes);
    layout.root_first_cluster = layout.upcase_first_cluster + layout.upcase_clusters;
    layout.root_clusters = clusters_for(root_entries * directory_entry_bytes, cluster_bytes);
    if (layout.cluster_count < layout.used_clusters() + min_free_clusters) {
        return failed(Failure::too_small);
    }

    // The point of the whole exercise: partition and heap on the boundary unit.
    if (layout.partition_start_sectors % unit != 0 ||
        (layout.partition_start_sectors + layout.cluster_heap_offset_sectors) % unit != 0 ||
        layout.fat_offset_sectors + layout.fat_length_sectors != layout.cluster_heap_offset_sectors) {
        return failed(Failure::bad_geometry);
    }
    return {FormatStatus::success(), layout};
}

}  // namespace trellan

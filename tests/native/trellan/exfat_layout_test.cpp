#include "trellan/exfat_layout.h"

#include <gtest/gtest.h>

namespace trellan {
namespace {

constexpr std::uint32_t upcase_bytes = 5836;

struct LayoutRow {
    std::uint64_t total_sectors;
    std::uint32_t sectors_per_cluster;
    std::uint32_t boundary_unit;
    std::uint32_t fat_offset;
    std::uint32_t fat_length;
    std::uint32_t heap_offset;
    std::uint32_t cluster_count;
};

// Hand-computed at every row threshold of the cluster/boundary table and one
// past it; the partition always starts at one boundary unit.
TEST(ExfatLayout, MatchesTheCardTableAtEveryThreshold)
{
    const LayoutRow rows[] = {
        {2'112, 8, 64, 32, 32, 64, 248},         // smallest card that holds a volume
        {524'288, 8, 64, 32, 544, 576, 65'456},  // 256 MiB: FAT outgrows BU/2
        {524'289, 64, 128, 64, 64, 128, 8'188},
        {67'108'864, 64, 8'192, 4'096, 12'288, 16'384, 1'048'192},  // 32 GiB
        {67'108'865, 256, 32'768, 16'384, 16'384, 32'768, 261'888},
        {268'435'456, 256, 32'768, 16'384, 16'384, 32'768, 1'048'320},  // 128 GiB
        {268'435'457, 512, 65'536, 32'768, 32'768, 65'536, 524'032},
        {1'073'741'824, 512, 65'536, 32'768, 32'768, 65'536, 2'096'896},  // 512 GiB
        {1'073'741'825, 1024, 131'072, 65'536, 65'536, 131'072, 1'048'320},
        {4'294'967'295, 1024, 131'072, 65'536, 65'536, 131'072, 4'194'047},
        {4'294'967'296, 1024, 131'072, 65'536, 65'536, 131'072, 4'194'048},  // 2 TiB
    };
    for (const LayoutRow& row : rows) {
        SCOPED_TRACE(row.total_sectors);
        const ExfatPlan plan = plan_exfat(row.total_sectors, 512, upcase_bytes);
        ASSERT_TRUE(plan.status.ok());
        const ExfatLayout& layout = plan.layout;
        EXPECT_EQ(layout.sectors_per_cluster, row.sectors_per_cluster);
        EXPECT_EQ(layout.boundary_unit_sectors, row.boundary_unit);
        EXPECT_EQ(layout.partition_start_sectors, row.boundary_unit);
        EXPECT_EQ(layout.volume_length_sectors, row.total_sectors - row.boundary_unit);
        EXPECT_EQ(layout.fat_offset_sectors, row.fat_offset);
        EXPECT_EQ(layout.fat_length_sectors, row.fat_length);
        EXPECT_EQ(layout.cluster_heap_offset_sectors, row.heap_offset);
        EXPECT_EQ(layout.cluster_count, row.cluster_count);

        // What readers check: FAT big enough, heap after it and inside the volume.
        EXPECT_GE(std::uint64_t{layout.fat_length_sectors} * 512, (std::uint64_t{layout.cluster_count} + 2) * 4);
        EXPECT_GE(layout.fat_offset_sectors, 24u);
        EXPECT_LE(std::uint64_t{layout.cluster_heap_offset_sectors} +
                      std::uint64_t{layout.cluster_count} * layout.sectors_per_cluster,
                  layout.volume_length_sectors);
        EXPECT_EQ((layout.partition_start_sectors + layout.cluster_heap_offset_sectors) % row.boundary_unit, 0u);
        EXPECT_EQ(1u << layout.sectors_per_cluster_shift, layout.sectors_per_cluster);
    }
}

TEST(ExfatLayout, SystemObjectsFollowEachOtherFromClusterTwo)
{
    const struct {
        std::uint64_t total_sectors;
        std::uint32_t bitmap_clusters;
        std::uint32_t upcase_clusters;
    } rows[] = {
        {2'112, 1, 2},    // 4 KiB clusters: the table needs two
        {524'288, 2, 2},  // 65,456 clusters: 8,182 bitmap bytes
        {268'435'456, 1, 1},
        {4'294'967'296, 1, 1},  // 524,256-byte bitmap in one 512 KiB cluster
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.total_sectors);
        const ExfatLayout layout = plan_exfat(row.total_sectors, 512, upcase_bytes).layout;
        EXPECT_EQ(layout.bitmap_first_cluster, 2u);
        EXPECT_EQ(layout.bitmap_bytes, (layout.cluster_count + 7) / 8);
        EXPECT_EQ(layout.bitmap_clusters, row.bitmap_clusters);
        EXPECT_EQ(layout.upcase_first_cluster, 2 + row.bitmap_clusters);
        EXPECT_EQ(layout.upcase_clusters, row.upcase_clusters);
        EXPECT_EQ(layout.root_first_cluster, 2 + row.bitmap_clusters + row.upcase_clusters);
        EXPECT_EQ(layout.root_clusters, 1u);
    }
}

TEST(ExfatLayout, RefusesCardsItCannotLayOut)
{
    const struct {
        std::uint64_t total_sectors;
        std::uint32_t sector_bytes;
        Failure failure;
    } rows[] = {
        {0, 512, Failure::bad_geometry},
        {1'000'000, 0, Failure::bad_geometry},
        {1'000'000, 4096, Failure::bad_geometry},
        {2'111, 512, Failure::too_small},
        {64, 512, Failure::too_small},
        {4'294'967'297, 512, Failure::too_large},  // beyond the MBR's 32-bit sector fields
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.total_sectors);
        const ExfatPlan plan = plan_exfat(row.total_sectors, row.sector_bytes, upcase_bytes);
        EXPECT_EQ(plan.status.failure, row.failure);
        EXPECT_EQ(plan.status.region, Region::layout);
    }
}

}  // namespace
}  // namespace trellan

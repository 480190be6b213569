// The FAT planners: card-size thresholds, cluster-count limits and alignment.
#include <gtest/gtest.h>

#include "trellan/builders.h"
#include "trellan/cluster_tables.h"
#include "trellan/fat_layout.h"
#include "trellan/mbr.h"

namespace trellan {
namespace {

TEST(SdGeometryTable, ChangesRowOnlyPastEachMibLimit)
{
    struct Row {
        std::uint64_t card_sectors;
        std::uint32_t heads;
        std::uint32_t sectors_per_track;
    };
    const Row rows[] = {
        {2 * 2048, 2, 16},         {3 * 2048 - 1, 2, 16},  {3 * 2048, 2, 32},
        {16 * 2048 + 2047, 2, 32}, {17 * 2048, 4, 32},     {32 * 2048, 4, 32},
        {33 * 2048, 8, 32},        {128 * 2048, 8, 32},    {129 * 2048, 16, 32},
        {256 * 2048, 16, 32},      {257 * 2048, 16, 63},   {504 * 2048, 16, 63},
        {505 * 2048, 32, 63},      {1008 * 2048, 32, 63},  {1009 * 2048, 64, 63},
        {2016 * 2048, 64, 63},     {2017 * 2048, 128, 63}, {4032 * 2048 + 2047, 128, 63},
        {4033 * 2048, 255, 63},
    };
    for (const Row& row : rows) {
        const ChsGeometry geometry = sd_chs_geometry(row.card_sectors);
        EXPECT_EQ(geometry.heads, row.heads) << row.card_sectors;
        EXPECT_EQ(geometry.sectors_per_track, row.sectors_per_track) << row.card_sectors;
    }
}

TEST(SdClusterTable, ChangesRowOnlyPastEachSectorLimit)
{
    struct Row {
        std::uint64_t card_sectors;
        std::uint32_t sectors_per_cluster;
        std::uint32_t boundary_unit_sectors;
    };
    const Row rows[] = {
        {16384, 16, 16},   {16385, 32, 32},    {131072, 32, 32},   {131073, 32, 64},   {524288, 32, 64},
        {524289, 32, 128}, {2097152, 32, 128}, {2097153, 64, 128}, {4194304, 64, 128}, {4194305, 64, 128},
    };
    for (const Row& row : rows) {
        const SdFatParameters parameters = sd_standard_capacity_parameters(row.card_sectors);
        EXPECT_EQ(parameters.sectors_per_cluster, row.sectors_per_cluster) << row.card_sectors;
        EXPECT_EQ(parameters.boundary_unit_sectors, row.boundary_unit_sectors) << row.card_sectors;
    }
}

// Layouts worked out by hand from the vendor iteration (FAT12/16: partition
// start moves; FAT32: reserved sectors grow).
TEST(SdPlanner, MatchesHandComputedLayouts)
{
    struct Row {
        std::uint64_t card_sectors;
        FileSystem file_system;
        std::uint64_t partition_start_sectors;
        std::uint32_t reserved_sectors;
        std::uint32_t fat_length_sectors;
        std::uint32_t sectors_per_cluster;
        std::uint32_t total_clusters;
        std::uint8_t partition_type;
    };
    const Row rows[] = {
        // 2 GiB: SSA = 1 + 2*256 + 32 = 545, start 2*128 - 545 mod 128 = 223; 65524 clusters.
        {4194304, FileSystem::fat16, 223, 1, 256, 64, 65524, 0x06},
        // 1 GiB: the same system area; (2,097,152 - 768) / 32 = 65,512 clusters.
        {2097152, FileSystem::fat16, 223, 1, 256, 32, 65512, 0x06},
        // 16 GB SDHC: FAT 3799 -> 3798 -> 3797 sectors, reserved 8192 - 7594 = 598,
        // (31,116,288 - 16,384) / 64 = 485,936 clusters, data area at 16,384.
        {31116288, FileSystem::fat32, 8192, 598, 3797, 64, 485936, 0x0C},
    };
    for (const Row& row : rows) {
        const FatPlan plan = plan_sd(row.card_sectors);
        ASSERT_TRUE(plan.ok()) << row.card_sectors;
        const FatLayout& layout = plan.layout;
        EXPECT_EQ(layout.file_system, row.file_system) << row.card_sectors;
        EXPECT_EQ(layout.partition_start_sectors, row.partition_start_sectors) << row.card_sectors;
        EXPECT_EQ(layout.reserved_sectors, row.reserved_sectors) << row.card_sectors;
        EXPECT_EQ(layout.fat_length_sectors, row.fat_length_sectors) << row.card_sectors;
        EXPECT_EQ(layout.sectors_per_cluster, row.sectors_per_cluster) << row.card_sectors;
        EXPECT_EQ(layout.total_clusters, row.total_clusters) << row.card_sectors;
        EXPECT_EQ(layout.partition_type, row.partition_type) << row.card_sectors;
    }
}

// Every layout the builders choose: data area on the boundary unit, a FAT
// exactly long enough, a cluster count inside its type's range (never 4085,
// 4086 or 65525 on the wrong side), and a partition reaching the card's end.
void expect_sound(const FatLayout& layout, std::uint64_t card_sectors)
{
    EXPECT_EQ(layout.data_start_sectors() % layout.boundary_unit_sectors, 0u) << card_sectors;
    EXPECT_EQ(layout.partition_start_sectors + layout.partition_length_sectors, card_sectors);
    const std::uint32_t bits = layout.file_system == FileSystem::fat12   ? 12
                               : layout.file_system == FileSystem::fat16 ? 16
                                                                         : 32;
    EXPECT_GE(std::uint64_t{layout.fat_length_sectors} * 4096, (std::uint64_t{layout.total_clusters} + 2) * bits)
        << card_sectors;
    const std::uint64_t data_sectors = layout.partition_length_sectors - layout.data_offset_sectors();
    EXPECT_EQ(data_sectors / layout.sectors_per_cluster, layout.total_clusters) << card_sectors;
    switch (layout.file_system) {
    case FileSystem::fat12:
        EXPECT_LE(layout.total_clusters, 4084u) << card_sectors;
        break;
    case FileSystem::fat16:
        EXPECT_GE(layout.total_clusters, 4087u) << card_sectors;
        EXPECT_LE(layout.total_clusters, 65524u) << card_sectors;
        break;
    default:
        EXPECT_GE(layout.total_clusters, 65525u) << card_sectors;
        EXPECT_LE(layout.total_clusters, 268435445u) << card_sectors;
    }
}

TEST(BuilderPlans, AreSoundAcrossCapacitiesAndThresholds)
{
    const std::uint64_t sizes[] = {
        200,     2048,     16383,    16384,    16385,    65535,    65536,     131071,     131072,     131073,
        524288,  524289,   2097152,  2097153,  3970048,  4194303,  4194304,   4194305,    4276224,    8257536,
        8257537, 16450559, 16450560, 16450561, 62333952, 67108864, 134217728, 1ull << 31, 1ull << 32,
    };
    for (const std::uint64_t size : sizes) {
        for (FatPlan (*plan_for)(std::uint64_t) : {plan_sd, plan_sd_high_capacity, plan_mmc, plan_cf}) {
            const FatPlan plan = plan_for(size);
            if (plan.ok()) {
                expect_sound(plan.layout, size);
            }
        }
    }
}

TEST(BuilderPlans, PickTheFileSystemTheCardSizeCallsFor)
{
    struct Row {
        FatPlan (*plan_for)(std::uint64_t);
        std::uint64_t card_sectors;
        Failure failure;
        FileSystem file_system;
        std::uint32_t sectors_per_cluster;
        std::uint64_t partition_start_sectors;
        std::uint8_t partition_type;
    };
    const Row rows[] = {
        // FAT12, 8 KiB clusters: FAT 3 sectors, system area 39, start 2*16 - 39 mod 16 = 25.
        {plan_sd, 15360, Failure::none, FileSystem::fat12, 16, 25, 0x01},
        // 64 MiB row, FAT12: (130,815 - 96) / 32 = 4,084 clusters, the most FAT12 takes.
        {plan_sd, 130815, Failure::none, FileSystem::fat12, 32, 39, 0x01},
        // One more sector: 4,085 for FAT12, 4,084 for FAT16 - both in the gap,
        // so the next cluster size up: FAT12 with 2,042 clusters of 32 KiB.
        {plan_sd, 130816, Failure::none, FileSystem::fat12, 64, 51, 0x01},
        {plan_sd, 130911, Failure::none, FileSystem::fat12, 64, 51, 0x01},
        // FAT16 from 4,087 clusters: (130,912 - 128) / 32.
        {plan_sd, 130912, Failure::none, FileSystem::fat16, 32, 63, 0x06},
        {plan_sd, 131072, Failure::none, FileSystem::fat16, 32, 63, 0x06},
        // 2 GiB row: 65,524 clusters still FAT16 up to 4,194,367 sectors; one
        // more gives 65,525 and the FAT32 layout, with 16 KiB clusters since
        // 32 KiB ones would be too few for FAT32.
        {plan_sd, 4194367, Failure::none, FileSystem::fat16, 64, 223, 0x06},
        {plan_sd, 4194368, Failure::none, FileSystem::fat32, 32, 8192, 0x0B},
        {plan_mmc, 4194368, Failure::none, FileSystem::fat32, 32, 8192, 0x0B},
        {plan_sd, 4276224, Failure::none, FileSystem::fat32, 64, 8192, 0x0B},
        {plan_sd_high_capacity, 62333952, Failure::none, FileSystem::fat32, 64, 8192, 0x0C},
        // 0Bh while the partition's last sector is CHS-addressable (255 x 63 x 1024).
        {plan_sd_high_capacity, 16450560, Failure::none, FileSystem::fat32, 64, 8192, 0x0B},
        {plan_sd_high_capacity, 16450561, Failure::none, FileSystem::fat32, 64, 8192, 0x0C},
        // 2 TiB MMC: 32 KiB clusters still fit FAT32's count.
        {plan_mmc, 1ull << 32, Failure::none, FileSystem::fat32, 64, 8192, 0x0C},
        // Too small for any FAT32 layout, too large for the 32-bit partition fields.
        {plan_sd_high_capacity, 65536, Failure::too_small, FileSystem::fat32, 0, 0, 0},
        {plan_mmc, (1ull << 32) + 8193, Failure::too_large, FileSystem::fat32, 0, 0, 0},
        // A partition ending one sector past the 32-bit range: refused as SD's exFAT is.
        {plan_mmc, (1ull << 32) + 1, Failure::too_large, FileSystem::fat32, 0, 0, 0},
        {plan_cf, (1ull << 32) + 1, Failure::too_large, FileSystem::fat32, 0, 0, 0},
        {plan_cf, 1ull << 32, Failure::none, FileSystem::fat32, 64, 63, 0x0C},
        {plan_sd, 40, Failure::too_small, FileSystem::fat12, 0, 0, 0},
        // CF: second track (32 or 63 sectors), Windows' clusters; FAT16 up to 2 GiB, FAT32 above.
        {plan_cf, 8192, Failure::none, FileSystem::fat12, 4, 32, 0x01},
        {plan_cf, 250880, Failure::none, FileSystem::fat16, 4, 32, 0x06},
        {plan_cf, 3970048, Failure::none, FileSystem::fat16, 64, 63, 0x06},
        {plan_cf, 4194304 + 63, Failure::none, FileSystem::fat32, 8, 63, 0x0B},
        {plan_cf, 31116288, Failure::none, FileSystem::fat32, 16, 63, 0x0C},
    };
    for (const Row& row : rows) {
        const FatPlan plan = row.plan_for(row.card_sectors);
        EXPECT_EQ(plan.failure, row.failure) << row.card_sectors;
        if (plan.ok() && row.failure == Failure::none) {
            EXPECT_EQ(plan.layout.file_system, row.file_system) << row.card_sectors;
            EXPECT_EQ(plan.layout.sectors_per_cluster, row.sectors_per_cluster) << row.card_sectors;
            EXPECT_EQ(plan.layout.partition_start_sectors, row.partition_start_sectors) << row.card_sectors;
            EXPECT_EQ(plan.layout.partition_type, row.partition_type) << row.card_sectors;
        }
    }
}

TEST(FatPlanner, KeepsEachTypeInsideItsClusterRange)
{
    // Fixed layout, 1 sector per cluster: card = 33 system sectors (1 reserved,
    // 2 FATs of n sectors, 32 root) plus the clusters.
    struct Row {
        FileSystem file_system;
        std::uint32_t clusters;
        Failure failure;
    };
    const Row rows[] = {
        {FileSystem::fat12, 4084, Failure::none},       {FileSystem::fat12, 4085, Failure::too_large},
        {FileSystem::fat16, 4086, Failure::too_small},  {FileSystem::fat16, 4087, Failure::none},
        {FileSystem::fat16, 65524, Failure::none},      {FileSystem::fat16, 65525, Failure::too_large},
        {FileSystem::fat32, 65524, Failure::too_small}, {FileSystem::fat32, 65525, Failure::none},
    };
    for (const Row& row : rows) {
        const std::uint32_t bits = row.file_system == FileSystem::fat12   ? 12
                                   : row.file_system == FileSystem::fat16 ? 16
                                                                          : 32;
        const std::uint64_t fat_sectors = ((std::uint64_t{row.clusters} + 2) * bits + 4095) / 4096;
        const std::uint32_t reserved = row.file_system == FileSystem::fat32 ? 32 : 1;
        const std::uint32_t root = row.file_system == FileSystem::fat32 ? 0 : 32;
        FatPlanRequest request;
        request.file_system = row.file_system;
        request.sectors_per_cluster = 1;
        request.partition_start_sectors = 63;
        request.reserved_sectors = reserved;
        request.alignment = FatAlignment::none;
        request.geometry = {255, 63};
        request.card_sectors = 63 + reserved + 2 * fat_sectors + root + row.clusters;
        const FatPlan plan = plan_fat(request);
        EXPECT_EQ(plan.failure, row.failure) << row.clusters;
        if (plan.ok()) {
            EXPECT_EQ(plan.layout.total_clusters, row.clusters);
            EXPECT_EQ(plan.layout.fat_length_sectors, fat_sectors);
        }
    }
}

TEST(PartitionType, FollowsFileSystemSizeAndChsReach)
{
    struct Row {
        FileSystem file_system;
        std::uint64_t start_sectors;
        std::uint64_t length_sectors;
        std::uint8_t type;
    };
    const ChsGeometry large{255, 63};
    const Row rows[] = {
        {FileSystem::fat12, 51, 16000, 0x01},
        {FileSystem::fat12, 51, 100000, 0x01},
        {FileSystem::fat16, 63, 65535, 0x04},
        {FileSystem::fat16, 63, 65536, 0x06},
        {FileSystem::fat32, 8192, 16450560 - 8192, 0x0B},  // last sector 16,450,559: CHS reaches it
        {FileSystem::fat32, 8192, 16450561 - 8192, 0x0C},
        {FileSystem::exfat, 32768, 1u << 30, 0x07},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(mbr_partition_type(row.file_system, row.start_sectors, row.length_sectors, large), row.type)
            << row.length_sectors;
    }
}

}  // namespace
}  // namespace trellan

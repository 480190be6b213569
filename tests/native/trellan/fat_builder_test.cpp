// The FAT builders on the memory device: what they refuse, what they leave
// behind when a write fails, and that nothing of an old layout survives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "memory_device.h"
#include "trellan/builders.h"
#include "trellan/byte_order.h"
#include "trellan/stale_clearing.h"

namespace trellan {
namespace {

using BuildFunction = FormatStatus (*)(BlockDevice&, const VolumeLabel&, const FormatStamp&);

FormatStamp fixed_stamp()
{
    FormatStamp stamp;
    stamp.year = 2024;
    stamp.volume_serial = 0x1234ABCD;
    stamp.disk_signature = 0x5EED5EED;
    return stamp;
}

TEST(FatBuilders, RefuseUnusableDevicesWithoutWriting)
{
    struct Row {
        const char* name;
        BuildFunction build;
        std::uint64_t length_sectors;
        std::uint32_t sector_bytes;
        bool read_only;
        Failure failure;
    };
    const Row rows[] = {
        {"zero length", build_sd, 0, 512, false, Failure::bad_geometry},
        {"4 KiB sectors", build_cf, 1 << 18, 4096, false, Failure::bad_geometry},
        {"read-only", build_mmc, 1 << 17, 512, true, Failure::write_protected},
        {"read-only, exFAT", build_exfat, 1ull << 27, 512, true, Failure::write_protected},
        {"too small for FAT32", build_fat32, 1 << 15, 512, false, Failure::too_small},
        {"too small for anything", build_sd, 40, 512, false, Failure::too_small},
        {"beyond 32-bit sectors", build_mmc, (1ull << 32) + 8192, 512, false, Failure::too_large},
    };
    for (const Row& row : rows) {
        MemoryDevice device(row.length_sectors, row.sector_bytes);
        if (row.read_only) {
            device.make_read_only();
        }
        const FormatStatus status = row.build(device, {"LABEL", u"LABEL"}, fixed_stamp());
        EXPECT_EQ(status.failure, row.failure) << row.name;
        EXPECT_EQ(device.write_calls(), 0u) << row.name;
    }
}

TEST(FatBuilders, AFailingWriteAnywhereIsReportedAndLeavesNoMbr)
{
    for (const BuildFunction build : {build_sd, build_fat32, build_cf}) {
        const std::uint64_t card_sectors = build == build_fat32 ? 8388608 : 262144;
        MemoryDevice probe(card_sectors);
        ASSERT_TRUE(build(probe, {"X", u"X"}, fixed_stamp()).ok());
        const std::size_t writes = probe.write_calls();
        for (std::size_t failing = 1; failing <= writes; ++failing) {
            MemoryDevice device(card_sectors);
            device.fail_write(failing);
            const FormatStatus status = build(device, {"X", u"X"}, fixed_stamp());
            ASSERT_FALSE(status.ok()) << failing;
            EXPECT_EQ(status.failure, Failure::write_failed) << failing;
            EXPECT_NE(status.region, Region::none) << failing;
            // The MBR is the last write: a format cut short never looks partitioned.
            EXPECT_EQ(load_le16(device.bytes(0), 0x1FE), 0) << failing;
        }
    }
}

TEST(FatBuilders, LeaveNoTraceOfAnOldLayout)
{
    const std::uint64_t card_sectors = 131072 * 4;  // 256 MiB
    MemoryDevice device(card_sectors);
    std::mt19937 random(7);
    std::vector<std::uint8_t> noise(4 << 20);
    std::generate(noise.begin(), noise.end(), [&] { return static_cast<std::uint8_t>(random()); });
    ASSERT_EQ(device.write(0, noise), IoResult::ok);
    ASSERT_EQ(device.write(card_sectors - noise.size() / 512, noise), IoResult::ok);

    ASSERT_TRUE(build_sd(device, {"", u""}, fixed_stamp()).ok());
    const FatPlan plan = plan_sd(card_sectors);
    const FatLayout& layout = plan.layout;
    const auto zero = [](const std::vector<std::uint8_t>& bytes) {
        return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t byte) { return byte == 0; });
    };
    EXPECT_TRUE(zero(device.bytes(1, layout.partition_start_sectors - 1)));
    EXPECT_TRUE(zero(device.bytes(card_sectors - signature_reach_sectors, signature_reach_sectors)));
    // Past the FAT's reserved entries and in the root after the (absent) label: zeros.
    EXPECT_TRUE(zero(device.bytes(layout.partition_start_sectors + 2, layout.fat_length_sectors - 1)));
    EXPECT_TRUE(zero(device.bytes(layout.partition_start_sectors + layout.root_directory_offset_sectors(), 32)));
    EXPECT_TRUE(zero(device.bytes(layout.data_start_sectors(), signature_reach_sectors - layout.data_start_sectors())));
}

TEST(FatBuilders, WriteLittleMoreThanTheLayoutNeeds)
{
    MemoryDevice device(1ull << 31);  // 1 TiB
    ASSERT_TRUE(build_mmc(device, {"BIG", u"BIG"}, fixed_stamp()).ok());
    std::uint64_t data_sectors = 0;
    for (const MemoryDevice::WrittenRange& range : device.written_ranges()) {
        if (!range.zeros) {
            data_sectors += range.count_sectors;
        }
        EXPECT_LE(range.first_sector + range.count_sectors, device.length_sectors());
    }
    // MBR, boot sector and backup, FSInfo pair twice, two FAT heads, root.
    EXPECT_LE(data_sectors, 12u);
    EXPECT_LE(device.write_calls(), 16u);
}

}  // namespace
}  // namespace trellan

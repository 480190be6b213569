#include "trellan/exfat_format.h"

#include <gtest/gtest.h>

#include "memory_device.h"
#include "trellan/byte_order.h"
#include "trellan/exfat_boot_region.h"
#include "trellan/exfat_upcase.h"
#include "trellan/stale_clearing.h"

namespace trellan {
namespace {

constexpr std::uint64_t card_64_gib = 134'217'728;
constexpr std::uint64_t unit_64_gib = 32'768;  // boundary unit of a 64 GiB card

FormatStamp stamp()
{
    FormatStamp s;
    s.volume_serial = 0xCAFEF00D;
    s.disk_signature = 0x01020304;
    return s;
}

TEST(ExfatFormat, WritesMbrBootRegionsFatBitmapAndRoot)
{
    MemoryDevice card(card_64_gib);
    ASSERT_TRUE(format_exfat(card, u"Holiday", stamp()).ok());

    const auto mbr = card.bytes(0);
    EXPECT_EQ(mbr[0x1BE + 4], 0x07);
    EXPECT_EQ(load_le32(mbr, 0x1BE + 8), unit_64_gib);
    EXPECT_EQ(load_le32(mbr, 0x1BE + 12), card_64_gib - unit_64_gib);
    EXPECT_EQ(load_le16(mbr, 0x1FE), 0xAA55);

    const auto main_region = card.bytes(unit_64_gib, 12);
    const auto backup_region = card.bytes(unit_64_gib + 12, 12);
    EXPECT_EQ(main_region, backup_region);
    EXPECT_EQ(load_le32(main_region, 11 * 512), exfat_boot_checksum(main_region));

    // FAT: media, end marker, then one-cluster chains for bitmap, up-case, root.
    const auto fat = card.bytes(unit_64_gib + unit_64_gib / 2);
    EXPECT_EQ(load_le32(fat, 0), 0xFFFFFFF8u);
    for (std::size_t entry = 1; entry <= 4; ++entry) {
        EXPECT_EQ(load_le32(fat, entry * 4), 0xFFFFFFFFu) << entry;
    }
    EXPECT_EQ(load_le32(fat, 5 * 4), 0u);

    // Heap at twice the boundary unit; 128 KiB clusters.
    const std::uint64_t heap = 2 * unit_64_gib;
    EXPECT_EQ(card.bytes(heap)[0], 0x07);  // clusters 2, 3, 4 in use
    const auto root = card.bytes(heap + 2 * 256);
    EXPECT_EQ(root[0], 0x83);
    EXPECT_EQ(root[1], 7);
    EXPECT_EQ(load_le16(root, 2), u'H');
    EXPECT_EQ(load_le16(root, 2 + 2 * 6), u'y');
    EXPECT_EQ(root[32], 0x81);
    EXPECT_EQ(load_le32(root, 32 + 20), 2u);
    EXPECT_EQ(root[64], 0x82);
    EXPECT_EQ(load_le32(root, 64 + 4), 0xE619D30Du);
    EXPECT_EQ(load_le32(root, 64 + 20), 3u);
    EXPECT_EQ(root[96], 0x00);  // end of directory
    const auto upcase = card.bytes(heap + 256, 12);
    const auto expected_table = exfat_upcase_table_bytes();
    EXPECT_TRUE(std::equal(expected_table.begin(), expected_table.end(), upcase.begin()));
}

TEST(ExfatFormat, ZeroesOnlyWhereSignaturesLieAndTheFatThenWritesTheMbrLast)
{
    MemoryDevice card(card_64_gib);
    ASSERT_TRUE(format_exfat(card, u"", stamp()).ok());
    const auto& ranges = card.written_ranges();
    ASSERT_GE(ranges.size(), 4u);
    const std::uint64_t fat_first = unit_64_gib + unit_64_gib / 2;
    const std::uint64_t fat_used = (card_64_gib - 2 * unit_64_gib) / 256 * 4 / 512 + 1;
    const MemoryDevice::WrittenRange zeroed[] = {
        {0, signature_reach_sectors, true},            // MBR, GPT, superblocks of a whole-card file system
        {unit_64_gib, signature_reach_sectors, true},  // the partition's boot region and what an old one left
        {fat_first, fat_used, true},
        {card_64_gib - signature_reach_sectors, signature_reach_sectors, true},  // GPT backup, RAID superblocks
    };
    for (std::size_t n = 0; n < std::size(zeroed); ++n) {
        EXPECT_EQ(ranges[n], zeroed[n]) << n;
    }
    EXPECT_FALSE(ranges[std::size(zeroed)].zeros);  // nothing else is zero-filled, the gaps stay as they are
    EXPECT_EQ(ranges.back(), (MemoryDevice::WrittenRange{0, 1, false}));
    // Empty label: a label entry with no characters.
    const auto root = card.bytes(2 * unit_64_gib + 2 * 256);
    EXPECT_EQ(root[0], 0x83);
    EXPECT_EQ(root[1], 0);
}

TEST(ExfatFormat, AnyFailedWriteFailsTheFormatBeforeTheMbrExists)
{
    MemoryDevice reference(card_64_gib);
    ASSERT_TRUE(format_exfat(reference, u"X", stamp()).ok());
    const std::size_t writes = reference.write_calls();
    for (std::size_t failing = 1; failing <= writes; ++failing) {
        SCOPED_TRACE(failing);
        MemoryDevice card(card_64_gib);
        card.fail_write(failing);
        const FormatStatus status = format_exfat(card, u"X", stamp());
        EXPECT_EQ(status.failure, Failure::write_failed);
        EXPECT_NE(status.region, Region::none);
        EXPECT_EQ(card.write_calls(), failing);  // stops at the first failure
        EXPECT_NE(load_le16(card.bytes(0), 0x1FE), 0xAA55);
    }
}

TEST(ExfatFormat, RefusesUnusableDevicesWithoutWriting)
{
    const struct {
        std::uint64_t sectors;
        std::uint32_t sector_bytes;
        bool read_only;
        Failure failure;
    } rows[] = {
        {card_64_gib, 512, true, Failure::write_failed},
        {0, 512, false, Failure::bad_geometry},
        {2'000, 512, false, Failure::too_small},
        {card_64_gib / 8, 4096, false, Failure::bad_geometry},
        {(std::uint64_t{1} << 32) + 1, 512, false, Failure::too_large},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sectors);
        MemoryDevice card(row.sectors, row.sector_bytes);
        if (row.read_only) {
            card.make_read_only();
        }
        EXPECT_EQ(format_exfat(card, u"X", stamp()).failure, row.failure);
        EXPECT_EQ(card.write_calls(), 0u);
    }
}

}  // namespace
}  // namespace trellan

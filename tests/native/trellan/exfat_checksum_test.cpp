#include <gtest/gtest.h>

#include "trellan/byte_order.h"
#include "trellan/exfat_boot_region.h"
#include "trellan/exfat_upcase.h"

namespace trellan {
namespace {

ExfatBootRegion sample_region()
{
    return build_exfat_boot_region(plan_exfat(268'435'456, 512, 5836).layout, 0x12345678);
}

TEST(ExfatBootChecksum, IgnoresVolumeFlagsAndPercentInUseOnly)
{
    const ExfatBootRegion region = sample_region();
    const std::uint32_t original = exfat_boot_checksum(region);
    const std::size_t ignored[] = {106, 107, 112};
    for (std::size_t offset : ignored) {
        ExfatBootRegion flipped = region;
        flipped[offset] ^= 0xFF;
        EXPECT_EQ(exfat_boot_checksum(flipped), original) << offset;
    }
    // Every other byte of the 11 checksummed sectors counts, the checksum
    // sector itself does not.
    const std::size_t counted[] = {0, 64, 105, 108, 111, 113, 511, 512, 9 * 512, 11 * 512 - 1};
    for (std::size_t offset : counted) {
        ExfatBootRegion flipped = region;
        flipped[offset] ^= 0x01;
        EXPECT_NE(exfat_boot_checksum(flipped), original) << offset;
    }
    ExfatBootRegion flipped = region;
    flipped[11 * 512] ^= 0x01;
    EXPECT_EQ(exfat_boot_checksum(flipped), original);
}

TEST(ExfatBootChecksum, FillsTheTwelfthSectorAndSignsEveryBootSector)
{
    const ExfatBootRegion region = sample_region();
    const std::span<const std::uint8_t> bytes(region);
    const std::uint32_t checksum = exfat_boot_checksum(region);
    for (std::size_t offset = 11 * 512; offset < 12 * 512; offset += 4) {
        ASSERT_EQ(load_le32(bytes, offset), checksum) << offset;
    }
    EXPECT_EQ(load_le16(bytes, 510), 0xAA55);
    for (std::size_t sector = 1; sector <= 8; ++sector) {
        EXPECT_EQ(load_le32(bytes, sector * 512 + 508), 0xAA550000u) << sector;
    }
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 11), "EXFAT   ");
    EXPECT_EQ(load_le64(bytes, 64), 32'768u);
    EXPECT_EQ(load_le32(bytes, 100), 0x12345678u);
    EXPECT_EQ(load_le16(bytes, 104), 0x0100);
    EXPECT_EQ(bytes[109], 8);
    EXPECT_EQ(bytes[110], 1);
}

TEST(ExfatUpcaseTable, IsTheRecommendedTable)
{
    const std::vector<std::uint8_t> table = exfat_upcase_table_bytes();
    EXPECT_EQ(table.size(), 5836u);
    EXPECT_EQ(exfat_upcase_checksum(table), 0xE619D30Du);
}

// Expands the stored form the way a reader does and compares every code unit.
TEST(ExfatUpcaseTable, ExpandsToEveryCodeUnitWithItsUpperCase)
{
    const std::vector<std::uint8_t> table = exfat_upcase_table_bytes();
    std::uint32_t index = 0;
    for (std::size_t offset = 0; offset < table.size(); offset += 2) {
        const std::uint16_t value = load_le16(table, offset);
        if (value == 0xFFFF && index != 0xFFFF) {
            offset += 2;
            const std::uint16_t run = load_le16(table, offset);
            for (std::uint32_t i = 0; i < run; ++i, ++index) {
                ASSERT_EQ(exfat_upcase(static_cast<char16_t>(index)), index);
            }
        } else {
            ASSERT_EQ(exfat_upcase(static_cast<char16_t>(index)), value) << index;
            ++index;
        }
    }
    EXPECT_EQ(index, 0x10000u);
    for (char16_t c = u'a'; c <= u'z'; ++c) {
        EXPECT_EQ(exfat_upcase(c), c - 0x20);
    }
    for (char16_t c = 0; c < 0x80; ++c) {
        if (c < u'a' || c > u'z') {
            EXPECT_EQ(exfat_upcase(c), c);
        }
    }
    EXPECT_EQ(exfat_upcase(u'\u00e9'), u'\u00c9');
    EXPECT_EQ(exfat_upcase(u'\u00ff'), u'\u0178');
    EXPECT_EQ(exfat_upcase(u'\u0431'), u'\u0411');
    EXPECT_EQ(exfat_upcase(u'\uff41'), u'\uff21');
}

}  // namespace
}  // namespace trellan

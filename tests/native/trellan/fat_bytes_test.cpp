// Known bytes: little-endian helpers, MBR, boot sectors, FSInfo, FAT and label entry.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "trellan/byte_order.h"
#include "trellan/fat_label.h"
#include "trellan/fat_structures.h"
#include "trellan/mbr.h"

namespace trellan {
namespace {

using Sector = std::array<std::uint8_t, 512>;

std::vector<std::uint8_t> slice(const Sector& sector, std::size_t offset, std::size_t count)
{
    return {sector.begin() + offset, sector.begin() + offset + count};
}

TEST(ByteOrder, StoresAndLoadsLittleEndian)
{
    std::array<std::uint8_t, 16> bytes{};
    store_le16(bytes, 0, 0xAA55);
    store_le32(bytes, 2, 0x41615252);
    store_le64(bytes, 6, 0x0102030405060708);
    const std::array<std::uint8_t, 14> expected = {0x55, 0xAA, 0x52, 0x52, 0x61, 0x41, 0x08,
                                                   0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin()));
    EXPECT_EQ(load_le16(bytes, 0), 0xAA55);
    EXPECT_EQ(load_le32(bytes, 2), 0x41615252u);
    EXPECT_EQ(load_le64(bytes, 6), 0x0102030405060708u);
}

TEST(Chs, EncodesTuplesAndSaturatesBeyondCylinder1023)
{
    const ChsGeometry small{16, 32};
    EXPECT_EQ(encode_chs(0, small), (std::array<std::uint8_t, 3>{0, 1, 0}));
    EXPECT_EQ(encode_chs(32, small), (std::array<std::uint8_t, 3>{1, 1, 0}));
    // Cylinder 300 = 12Ch: bits 9-8 go to the top of the sector byte.
    EXPECT_EQ(encode_chs(300 * 512 + 5 * 32 + 7, small), (std::array<std::uint8_t, 3>{5, 8 | 0x40, 0x2C}));
    const ChsGeometry large{255, 63};
    EXPECT_EQ(encode_chs(16450559, large), (std::array<std::uint8_t, 3>{0xFE, 0xFF, 0xFF}));
    EXPECT_EQ(encode_chs(16450560, large), (std::array<std::uint8_t, 3>{0xFE, 0xFF, 0xFF}));
    EXPECT_EQ(encode_chs(16450560 - 63, large), (std::array<std::uint8_t, 3>{0xFE, 0xC1, 0xFF}));
    EXPECT_EQ(encode_chs(5, ChsGeometry{}), (std::array<std::uint8_t, 3>{0xFE, 0xFF, 0xFF}));
}

TEST(Mbr, HoldsOneEntrySignatureAndNoCopyProtectMark)
{
    FormatStamp stamp;
    stamp.disk_signature = 0x12345678;
    const MbrLayout layout{8192, 31116288 - 8192, 0x0C, {255, 63}};
    Sector sector;
    sector.fill(0xCC);
    fill_mbr_sector(sector, layout, stamp);
    EXPECT_EQ(slice(sector, 0x1B8, 6), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12, 0, 0}));
    // 8192 = cylinder 0, head 130, sector 3; the end is beyond CHS.
    EXPECT_EQ(slice(sector, 0x1BE, 16), (std::vector<std::uint8_t>{0x00, 0x82, 0x03, 0x00, 0x0C, 0xFE, 0xFF, 0xFF, 0x00,
                                                                   0x20, 0x00, 0x00, 0x00, 0xAC, 0xDA, 0x01}));
    EXPECT_EQ(slice(sector, 0x1CE, 48), std::vector<std::uint8_t>(48, 0));
    EXPECT_EQ(slice(sector, 0x1FE, 2), (std::vector<std::uint8_t>{0x55, 0xAA}));
    EXPECT_EQ(slice(sector, 0, 0x1B8), std::vector<std::uint8_t>(0x1B8, 0));
}

TEST(Mbr, NeverWritesAZeroDiskSignature)
{
    FormatStamp stamp;
    stamp.disk_signature = 0;
    stamp.volume_serial = 0;
    EXPECT_NE(mbr_disk_signature(stamp), 0u);
}

FatLayout fat16_layout()
{
    FatLayout layout;
    layout.file_system = FileSystem::fat16;
    layout.card_sectors = 4194304;
    layout.partition_start_sectors = 223;
    layout.partition_length_sectors = 4194304 - 223;
    layout.reserved_sectors = 1;
    layout.fat_length_sectors = 256;
    layout.root_entries = 512;
    layout.sectors_per_cluster = 64;
    layout.total_clusters = 65524;
    layout.boundary_unit_sectors = 128;
    layout.geometry = {128, 63};
    return layout;
}

TEST(BootSector, Fat16FieldsAtTheirOffsets)
{
    Sector sector{};
    fill_boot_sector(sector, fat16_layout(), make_fat_label("camera"), 0xA1B2C3D4);
    EXPECT_EQ(slice(sector, 0, 11),
              (std::vector<std::uint8_t>{0xEB, 0x3C, 0x90, 'M', 'S', 'W', 'I', 'N', '4', '.', '1'}));
    // 512 bytes/sector, 64 per cluster, 1 reserved, 2 FATs, 512 root entries,
    // 16-bit count 0, F8h, 256 sectors/FAT, 63 sectors/track, 128 heads,
    // 223 hidden, 4,194,081 total.
    EXPECT_EQ(slice(sector, 0x0B, 25),
              (std::vector<std::uint8_t>{0x00, 0x02, 0x40, 0x01, 0x00, 0x02, 0x00, 0x02, 0x00, 0x00, 0xF8, 0x00, 0x01,
                                         0x3F, 0x00, 0x80, 0x00, 0xDF, 0x00, 0x00, 0x00, 0x21, 0xFF, 0x3F, 0x00}));
    EXPECT_EQ(slice(sector, 0x24, 26),
              (std::vector<std::uint8_t>{0x80, 0x00, 0x29, 0xD4, 0xC3, 0xB2, 0xA1, 'C', 'A', 'M', 'E', 'R', 'A',
                                         ' ',  ' ',  ' ',  ' ',  ' ',  'F',  'A',  'T', '1', '6', ' ', ' ', ' '}));
    EXPECT_EQ(slice(sector, 0x1FE, 2), (std::vector<std::uint8_t>{0x55, 0xAA}));
}

TEST(BootSector, Fat32FieldsAtTheirOffsets)
{
    FatLayout layout = fat16_layout();
    layout.file_system = FileSystem::fat32;
    layout.partition_start_sectors = 8192;
    layout.partition_length_sectors = 70000;
    layout.reserved_sectors = 6324;
    layout.fat_length_sectors = 3796;
    layout.root_entries = 0;
    Sector sector{};
    fill_boot_sector(sector, layout, make_fat_label(""), 0x01020304);
    EXPECT_EQ(slice(sector, 0, 3), (std::vector<std::uint8_t>{0xEB, 0x58, 0x90}));
    EXPECT_EQ(load_le16(sector, 0x0E), 6324);
    EXPECT_EQ(load_le16(sector, 0x11), 0);
    EXPECT_EQ(load_le16(sector, 0x13), 0);
    EXPECT_EQ(load_le16(sector, 0x16), 0);  // what marks FAT32
    EXPECT_EQ(load_le32(sector, 0x20), 70000u);
    EXPECT_EQ(slice(sector, 0x24, 16),
              (std::vector<std::uint8_t>{0xD4, 0x0E, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0x01, 0, 0x06, 0}));
    EXPECT_EQ(slice(sector, 0x40, 26),
              (std::vector<std::uint8_t>{0x80, 0x00, 0x29, 0x04, 0x03, 0x02, 0x01, 'N', 'O', ' ', 'N', 'A', 'M',
                                         'E',  ' ',  ' ',  ' ',  ' ',  'F',  'A',  'T', '3', '2', ' ', ' ', ' '}));
}

TEST(Fsinfo, SignaturesFreeCountAndHint)
{
    FatLayout layout = fat16_layout();
    layout.file_system = FileSystem::fat32;
    layout.total_clusters = 485776;
    Sector sector{};
    fill_fsinfo_sector(sector, layout);
    EXPECT_EQ(slice(sector, 0, 4), (std::vector<std::uint8_t>{0x52, 0x52, 0x61, 0x41}));
    EXPECT_EQ(slice(sector, 484, 28),
              (std::vector<std::uint8_t>{0x72, 0x72, 0x41, 0x61, 0x8F, 0x69, 0x07, 0x00, 0x03, 0, 0, 0, 0,    0,
                                         0,    0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0x55, 0xAA}));
}

TEST(FatReservedEntries, PerType)
{
    struct Row {
        FileSystem file_system;
        std::vector<std::uint8_t> first_bytes;
    };
    const Row rows[] = {
        {FileSystem::fat12, {0xF8, 0xFF, 0xFF, 0x00}},
        {FileSystem::fat16, {0xF8, 0xFF, 0xFF, 0xFF, 0x00}},
        {FileSystem::fat32, {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0x0F, 0x00}},
    };
    for (const Row& row : rows) {
        FatLayout layout = fat16_layout();
        layout.file_system = row.file_system;
        Sector sector{};
        fill_first_fat_sector(sector, layout);
        EXPECT_EQ(slice(sector, 0, row.first_bytes.size()), row.first_bytes);
    }
}

// 2024-03-15 13:45:31: the DOS time, date and volume serial below are worked out for it.
FormatStamp afternoon_of_2024_03_15()
{
    FormatStamp stamp;
    stamp.year = 2024;
    stamp.month = 3;
    stamp.day = 15;
    stamp.hour = 13;
    stamp.minute = 45;
    stamp.second = 31;
    return stamp;
}

TEST(RootDirectory, LabelEntryOnlyWithALabel)
{
    const FormatStamp stamp = afternoon_of_2024_03_15();
    Sector sector{};
    fill_first_root_sector(sector, make_fat_label("Trip 2024"), stamp);
    EXPECT_EQ(slice(sector, 0, 12),
              (std::vector<std::uint8_t>{'T', 'R', 'I', 'P', ' ', '2', '0', '2', '4', ' ', ' ', 0x08}));
    // 13:45:30 and 2024-03-15 as DOS time and date.
    EXPECT_EQ(load_le16(sector, 0x16), 13 << 11 | 45 << 5 | 15);
    EXPECT_EQ(load_le16(sector, 0x18), 44 << 9 | 3 << 5 | 15);
    fill_first_root_sector(sector, make_fat_label(""), stamp);
    EXPECT_EQ(slice(sector, 0, 512), std::vector<std::uint8_t>(512, 0));
}

TEST(RootDirectory, LeadingE5hIsEscapedOnlyInTheLabelEntry)
{
    const FatLabel label = make_fat_label("\xE5T\xE9");
    Sector root{};
    fill_first_root_sector(root, label, afternoon_of_2024_03_15());
    EXPECT_EQ(slice(root, 0, 3), (std::vector<std::uint8_t>{0x05, 'T', 0xE9}));
    Sector boot{};
    fill_boot_sector(boot, fat16_layout(), label, 0);
    EXPECT_EQ(slice(boot, 0x2B, 3), (std::vector<std::uint8_t>{0xE5, 'T', 0xE9}));
}

TEST(FatLabel, FollowsTheShortNameRules)
{
    struct Row {
        std::string typed;
        std::string stored;
        bool present;
    };
    const Row rows[] = {
        {"", "NO NAME    ", false},
        {"    ", "NO NAME    ", false},
        {"camera", "CAMERA     ", true},
        {"  Holiday  ", "HOLIDAY    ", true},
        {"123456789012345", "12345678901", true},
        {"abcdefghij k", "ABCDEFGHIJ ", true},  // cut after 11, the blank kept as padding
        {"a.b*c?d/e:f", "A_B_C_D_E_F", true},   // forbidden characters
        {"x+y,z;<=>[]|", "X_Y_Z______", true},
        {"tab\there", "TAB_HERE   ", true},
        {"!#$%&'()-@^", "!#$%&'()-@^", true},  // allowed punctuation
        {"\xE5tude", "\xE5TUDE      ", true},  // E5h kept: only the directory entry escapes it
        {"caf\xE9", "CAF\xE9       ", true},   // code-page bytes kept
    };
    for (const Row& row : rows) {
        const FatLabel label = make_fat_label(row.typed);
        EXPECT_EQ(std::string(label.bytes.begin(), label.bytes.end()), row.stored) << row.typed;
        EXPECT_EQ(label.present, row.present) << row.typed;
    }
}

TEST(FormatStamp, DosVolumeSerial)
{
    FormatStamp stamp = afternoon_of_2024_03_15();
    stamp.hundredths = 50;
    // high: 0D2Dh + 07E8h = 1515h; low: 030Fh + 1F32h = 2241h.
    EXPECT_EQ(dos_volume_serial(stamp), 0x15152241u);
    EXPECT_NE(current_format_stamp().disk_signature, 0u);
}

}  // namespace
}  // namespace trellan

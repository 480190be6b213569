// Labels as typed on a UTF-8 command line, through every builder, read back
// from the image by tools that know nothing of ours: mtools and blkid for
// FAT, blkid and fsck.exfat for exFAT, and the on-disk bytes of both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image_tools.h"
#include "trellan/byte_order.h"
#include "trellan/volume_label.h"

namespace trellan {
namespace {

namespace fs = std::filesystem;

using test_support::CommandResult;
using test_support::run_command;

constexpr std::uint64_t card_bytes = 64 * 1024 * 1024;

std::vector<std::uint8_t> read_bytes(const fs::path& image, std::uint64_t offset, std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::ifstream file(image, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    return bytes;
}

std::uint64_t partition_start_bytes(const fs::path& image)
{
    return std::uint64_t{load_le32(read_bytes(image, 0x1BE + 8, 4), 0)} * 512;
}

std::string text(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The boot sector's label field and the root directory's first entry, found
// from the BPB as any FAT reader finds them.
struct FatLabelCopies {
    std::string boot_sector;
    std::string root_entry_name;
    std::uint8_t root_entry_attributes = 0;
};

FatLabelCopies fat_label_copies(const fs::path& image, std::uint64_t volume)
{
    const std::vector<std::uint8_t> boot = read_bytes(image, volume, 512);
    const std::uint64_t sector_bytes = load_le16(boot, 0x0B);
    const std::uint64_t reserved_sectors = load_le16(boot, 0x0E);
    const std::uint64_t fat_count = boot[0x10];
    const std::uint16_t fat16_sectors = load_le16(boot, 0x16);
    const bool fat32 = fat16_sectors == 0;
    const std::uint64_t fat_sectors = fat32 ? load_le32(boot, 0x24) : fat16_sectors;
    std::uint64_t root_sector = reserved_sectors + fat_count * fat_sectors;
    if (fat32) {
        root_sector += (load_le32(boot, 0x2C) - 2) * boot[0x0D];
    }
    const std::vector<std::uint8_t> entry = read_bytes(image, volume + root_sector * sector_bytes, 32);
    const std::size_t label_field = fat32 ? 0x47 : 0x2B;
    return {text({boot.begin() + label_field, boot.begin() + label_field + 11}),
            text({entry.begin(), entry.begin() + 11}), entry[11]};
}

// The exFAT volume-label entry (83h) of the root directory, as UTF-16.
std::u16string exfat_label_entry(const fs::path& image, std::uint64_t volume)
{
    const std::vector<std::uint8_t> boot = read_bytes(image, volume, 512);
    const std::uint64_t sector_bytes = std::uint64_t{1} << boot[108];
    const std::uint64_t cluster_sectors = std::uint64_t{1} << boot[109];
    const std::uint64_t root_sector = load_le32(boot, 88) + (load_le32(boot, 96) - 2) * cluster_sectors;
    const std::vector<std::uint8_t> root =
        read_bytes(image, volume + root_sector * sector_bytes, cluster_sectors * sector_bytes);
    for (std::size_t entry = 0; entry + 32 <= root.size(); entry += 32) {
        if (root[entry] == 0x83) {
            std::u16string label;
            for (std::size_t unit = 0; unit < root[entry + 1]; ++unit) {
                label.push_back(static_cast<char16_t>(load_le16(root, entry + 2 + 2 * unit)));
            }
            return label;
        }
    }
    return u"(no label entry)";
}

std::string padded(std::string label)
{
    label.resize(11, ' ');
    return label;
}

std::string trimmed(std::string line)
{
    line.erase(line.find_last_not_of(" \n") + 1);
    return line;
}

struct LabelRow {
    const char* what;
    std::string typed;      // UTF-8, as on the command line
    const char* codepage;   // --codepage
    std::string fat_bytes;  // in that code page; empty: no label
    const char* fat_shown;  // mlabel's UTF-8 rendering with its default code page 850; nullptr: not asked
    std::u16string exfat;
};

const LabelRow label_rows[] = {
    {"ASCII", "CARD01", "850", "CARD01", "CARD01", u"CARD01"},
    {"lower case", "photos 2024", "850", "PHOTOS 2024", "PHOTOS 2024", u"photos 2024"},
    {"accented Latin", "Caf\u00e9", "850", "CAF\x90", "CAF\u00c9", u"Caf\u00e9"},
    {"accented Latin, 437", "Sm\u00f8rrebr\u00f8d", "437", "SM_RREBR_D", nullptr, u"Sm\u00f8rrebr\u00f8d"},
    {"Greek", "\u0395\u03bb\u03bb\u03ac\u03b4\u03b1", "850", "______", "______",
     u"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1"},
    {"CJK", "\u65e5\u672c\u30ab\u30fc\u30c9", "850", "_____", "_____", u"\u65e5\u672c\u30ab\u30fc\u30c9"},
    {"E5h first byte", "\u00f5la", "850", "\xE5LA", "\u00d5LA", u"\u00f5la"},
    {"all blanks", "   ", "850", "", nullptr, u""},
    {"trailing blanks", "Trip  ", "850", "TRIP", "TRIP", u"Trip"},
    {"11 bytes, the last character two", "ABCDEFGHI\u00e9", "850", "ABCDEFGHI\x90", "ABCDEFGHI\u00c9",
     u"ABCDEFGHI\u00e9"},
    {"12 bytes, the 11th starts a character", "ABCDEFGHIJ\u00e9", "850", "ABCDEFGHIJ\x90", "ABCDEFGHIJ\u00c9",
     u"ABCDEFGHIJ\u00e9"},
    {"the 11th byte starts a 3-byte character", "ABCDEFGHIJ\u65e5\u672c", "850", "ABCDEFGHIJ_", "ABCDEFGHIJ_",
     u"ABCDEFGHIJ\u65e5"},
};

class LabelImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("MTOOLS_SKIP_CHECK", "1", 1);
        // mtools renders labels in the locale's character set.
        setenv("LC_ALL", "C.UTF-8", 1);
    }

    fs::path format(const char* builder, const LabelRow& row)
    {
        const fs::path image = directory_.file("card.img");
        fs::remove(image);
        EXPECT_TRUE(test_support::make_sparse_file(image, card_bytes));
        const CommandResult run =
            run_command(std::string(TRELLAN_FORMAT_PATH) + " --builder " + builder + " --codepage " + row.codepage +
                        " --label '" + row.typed + "' " + image.string());
        EXPECT_EQ(run.exit_code, 0) << run.output;
        return image;
    }

    fs::path volume_of(const fs::path& image)
    {
        const fs::path volume = directory_.file("volume.img");
        fs::remove(volume);
        const std::uint64_t start = partition_start_bytes(image);
        EXPECT_TRUE(test_support::extract_sparse(image, start, card_bytes - start, volume));
        return volume;
    }

    test_support::ScratchDirectory directory_;
};

TEST_F(LabelImage, FatBuildersStoreTheLabelAsWindowsDoes)
{
    for (const char* builder : {"sd", "fat32", "mmc", "cf"}) {
        for (const LabelRow& row : label_rows) {
            SCOPED_TRACE(std::string(builder) + ": " + row.what);
            const fs::path image = format(builder, row);
            const std::uint64_t start = partition_start_bytes(image);
            const FatLabelCopies copies = fat_label_copies(image, start);
            const fs::path volume = volume_of(image);
            const CommandResult blkid = run_command("blkid -p -s LABEL -o value " + volume.string());
            const std::string mtools = " -i " + image.string() + "@@" + std::to_string(start);
            const CommandResult mlabel = run_command("mlabel -s" + mtools + " ::");
            if (row.fat_bytes.empty()) {
                EXPECT_EQ(copies.boot_sector, "NO NAME    ");
                EXPECT_NE(copies.root_entry_attributes, 0x08);
                EXPECT_EQ(blkid.output, "");
                EXPECT_EQ(trimmed(mlabel.output), " Volume has no label");
            } else {
                // Both copies alike, but a leading E5h is escaped as 05h in the directory.
                std::string entry = padded(row.fat_bytes);
                if (entry[0] == '\xE5') {
                    entry[0] = '\x05';
                }
                EXPECT_EQ(copies.boot_sector, padded(row.fat_bytes));
                EXPECT_EQ(copies.root_entry_name, entry);
                EXPECT_EQ(copies.root_entry_attributes, 0x08);
                EXPECT_EQ(blkid.output, row.fat_bytes + "\n");
                if (row.fat_shown != nullptr) {
                    EXPECT_EQ(trimmed(mlabel.output), std::string(" Volume label is ") + row.fat_shown);
                }
            }
            // fsck.fat 4.2 compares each label byte, as a signed char, with 20h,
            // so it refuses every byte from 80h up; mtools and blkid judge those.
            if (std::all_of(row.fat_bytes.begin(), row.fat_bytes.end(), [](char byte) { return byte > 0; })) {
                const CommandResult fsck = run_command("fsck.fat -n " + volume.string());
                EXPECT_EQ(fsck.exit_code, 0) << fsck.output;
            }
        }
    }
}

TEST_F(LabelImage, ExfatStoresTheLabelAsTyped)
{
    for (const LabelRow& row : label_rows) {
        SCOPED_TRACE(row.what);
        const fs::path image = format("exfat", row);
        EXPECT_EQ(exfat_label_entry(image, partition_start_bytes(image)), row.exfat);
        const fs::path volume = volume_of(image);
        const CommandResult blkid = run_command("blkid -p -s LABEL -o value " + volume.string());
        // blkid prints exFAT labels in UTF-8, ending with a newline when there is one.
        EXPECT_EQ(utf16_from_utf8(trimmed(blkid.output)), row.exfat) << blkid.output;
        const CommandResult fsck = run_command("fsck.exfat -n " + volume.string());
        EXPECT_EQ(fsck.exit_code, 0) << fsck.output;
    }
}

}  // namespace
}  // namespace trellan

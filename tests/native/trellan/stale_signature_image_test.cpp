// A card that carried other systems before: their signatures sit at the
// card's start, at its end and where the new partition will start. After a
// format, blkid and wipefs must find only the new partition table on the card
// and only the new file system in the partition, so no reader mistakes the
// card for what it was.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image_tools.h"
#include "trellan/builders.h"
#include "trellan/byte_order.h"
#include "trellan/file_device.h"

namespace trellan {
namespace {

namespace fs = std::filesystem;
using test_support::CommandResult;
using test_support::extract_sparse;
using test_support::make_sparse_file;
using test_support::run_command;
using test_support::ScratchDirectory;

constexpr std::uint64_t mib = std::uint64_t{1} << 20;
constexpr std::uint64_t gib = std::uint64_t{1} << 30;

enum class Place { card_start, partition_start, card_end };

// Where a signature comes from: a small image made by the real tool and
// copied in place, the card partitioned by sfdisk itself, or an md RAID
// superblock written here (mdadm only creates arrays on block devices).
enum class Source { image, gpt_on_card, md_090_at_end, md_10_at_end };

struct Plant {
    const char* wipefs_type;
    Source source;
    const char* image;  // made in the shared scratch directory by SetUpTestSuite
    std::vector<Place> places;
};

const Plant plants[] = {
    {"dos", Source::image, "mbr.img", {Place::card_start, Place::partition_start}},
    {"gpt", Source::gpt_on_card, nullptr, {Place::card_start, Place::card_end}},
    {"vfat", Source::image, "fat.img", {Place::card_start, Place::partition_start}},
    {"exfat", Source::image, "exfat.img", {Place::card_start, Place::partition_start}},
    {"ntfs", Source::image, "ntfs.img", {Place::card_start, Place::partition_start}},
    {"ext4", Source::image, "ext4.img", {Place::card_start, Place::partition_start}},
    {"iso9660", Source::image, "iso.img", {Place::card_start, Place::partition_start}},
    {"btrfs", Source::image, "btrfs.img", {Place::card_start, Place::partition_start}},
    {"linux_raid_member", Source::md_090_at_end, nullptr, {Place::card_end}},
    {"linux_raid_member", Source::md_10_at_end, nullptr, {Place::card_end}},
};

struct Card {
    Builder builder;
    const char* name;
    std::uint64_t bytes;
    const char* file_system;  // blkid's and wipefs's name for what the builder writes
};

const Card cards[] = {
    {Builder::sd, "SD 256 MiB", 256 * mib, "vfat"},      {Builder::mmc, "MMC 1 GiB", 1 * gib, "vfat"},
    {Builder::cf, "CF 4 GiB", 4 * gib, "vfat"},          {Builder::fat32, "FAT32 8 GiB", 8 * gib, "vfat"},
    {Builder::exfat, "exFAT 64 GiB", 64 * gib, "exfat"},
};

// Copies the data extents of a sparse image into the card at offset_bytes.
bool copy_image_into(const fs::path& image, const fs::path& card, std::uint64_t offset_bytes)
{
    const int in = ::open(image.c_str(), O_RDONLY);
    const int out = ::open(card.c_str(), O_WRONLY);
    bool ok = in >= 0 && out >= 0;
    std::vector<char> buffer(mib);
    for (off_t data = ok ? ::lseek(in, 0, SEEK_DATA) : -1; ok && data >= 0; data = ::lseek(in, data, SEEK_DATA)) {
        const off_t hole = ::lseek(in, data, SEEK_HOLE);
        while (ok && data < hole) {
            const auto count = static_cast<std::size_t>(std::min<off_t>(hole - data, mib));
            ok = ::pread(in, buffer.data(), count, data) == static_cast<ssize_t>(count) &&
                 ::pwrite(out, buffer.data(), count, data + static_cast<off_t>(offset_bytes)) ==
                     static_cast<ssize_t>(count);
            data += static_cast<off_t>(count);
        }
    }
    if (in >= 0) {
        ::close(in);
    }
    if (out >= 0) {
        ok = ::close(out) == 0 && ok;
    }
    return ok;
}

bool write_at(const fs::path& card, std::uint64_t offset_bytes, const std::vector<std::uint8_t>& bytes)
{
    const int out = ::open(card.c_str(), O_WRONLY);
    const bool ok = out >= 0 && ::pwrite(out, bytes.data(), bytes.size(), static_cast<off_t>(offset_bytes)) ==
                                    static_cast<ssize_t>(bytes.size());
    return out >= 0 && ::close(out) == 0 && ok;
}

constexpr std::uint32_t md_magic = 0xA92B4EFC;

// Version 0.90 keeps its superblock in the last whole 64 KiB of the device
// but one; blkid checks only the magic and the version.
bool plant_md_090(const fs::path& card, std::uint64_t card_bytes)
{
    constexpr std::uint64_t reserved_bytes = 64 * 1024;
    std::vector<std::uint8_t> superblock(4096);
    store_le32(superblock, 0, md_magic);
    store_le32(superblock, 8, 90);  // minor version
    return write_at(card, (card_bytes & ~(reserved_bytes - 1)) - reserved_bytes, superblock);
}

// Version 1.0 sits 8 KiB before the end, 4 KiB aligned, names its own
// position and carries a checksum that blkid verifies.
bool plant_md_10(const fs::path& card, std::uint64_t card_bytes)
{
    constexpr std::size_t checksum_offset = 216;
    constexpr std::uint32_t max_devices = 1;
    const std::uint64_t sector = ((card_bytes / 512) - 16) & ~std::uint64_t{7};
    std::vector<std::uint8_t> superblock(4096);
    store_le32(superblock, 0, md_magic);
    store_le32(superblock, 4, 1);  // major version
    for (std::size_t n = 0; n < 16; ++n) {
        superblock[16 + n] = static_cast<std::uint8_t>(0x10 + n);  // set UUID
    }
    store_le64(superblock, 144, sector);  // super_offset
    store_le32(superblock, 220, max_devices);
    // 32-bit words over the 256-byte header and the device roles (2 bytes each), carries folded in.
    std::uint64_t sum = 0;
    const std::size_t checked_bytes = 256 + 2 * max_devices;
    for (std::size_t at = 0; at + 4 <= checked_bytes; at += 4) {
        sum += load_le32(superblock, at);
    }
    if (checked_bytes % 4 != 0) {
        sum += load_le16(superblock, checked_bytes - 2);
    }
    store_le32(superblock, checksum_offset, static_cast<std::uint32_t>((sum & 0xFFFFFFFF) + (sum >> 32)));
    return write_at(card, sector * 512, superblock);
}

// What wipefs finds, each type once (it lists FAT at three offsets), sorted.
std::vector<std::string> wipefs_types(const fs::path& image)
{
    const CommandResult result = run_command("wipefs -n -i -O TYPE " + image.string());
    std::vector<std::string> types;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        types.push_back(line);
    }
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

// blkid's low-level probe: the type of a file system and of a partition
// table ("" when none), or the error when the answer is not a single one.
struct Probe {
    std::string type;
    std::string partition_table;
    int exit_code = 0;
};

Probe blkid_probe(const fs::path& image)
{
    const CommandResult result = run_command("blkid -p -o export " + image.string());
    Probe probe;
    probe.exit_code = result.exit_code;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("TYPE=", 0) == 0) {
            probe.type = line.substr(5);
        } else if (line.rfind("PTTYPE=", 0) == 0) {
            probe.partition_table = line.substr(7);
        }
    }
    return probe;
}

bool contains(const std::vector<std::string>& types, const std::string& type)
{
    return std::find(types.begin(), types.end(), type) != types.end();
}

class StaleSignatures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sources_ = new ScratchDirectory;
        const auto file = [](const char* name) { return sources_->file(name).string(); };
        const struct {
            const char* image;
            std::uint64_t bytes;
            std::string command;
        } makers[] = {
            {"mbr.img", 32 * mib, "echo 'start=2048, type=83' | sfdisk -q " + file("mbr.img")},
            {"fat.img", 32 * mib, "mkfs.fat " + file("fat.img")},
            {"exfat.img", 32 * mib, "mkfs.exfat " + file("exfat.img")},
            {"ntfs.img", 32 * mib, "mkntfs -F -Q -q " + file("ntfs.img")},
            {"ext4.img", 32 * mib, "mkfs.ext4 -q -F " + file("ext4.img")},
            {"btrfs.img", 128 * mib, "mkfs.btrfs -q -f " + file("btrfs.img")},
            {"iso.img", 0,
             "mkdir -p " + file("iso") + " && genisoimage -quiet -o " + file("iso.img") + " " + file("iso")},
        };
        for (const auto& maker : makers) {
            if (maker.bytes != 0 && !make_sparse_file(sources_->file(maker.image), maker.bytes)) {
                setup_failure_ += std::string("cannot create ") + maker.image + "\n";
            }
            const CommandResult made = run_command(maker.command);
            if (made.exit_code != 0) {
                setup_failure_ += maker.command + ": " + made.output + "\n";
            }
        }
    }

    static void TearDownTestSuite()
    {
        delete sources_;
        sources_ = nullptr;
    }

    // Plants one old signature on a fresh card, checks that it is there to be
    // found, formats, and checks what readers see afterwards.
    void format_over(const Card& card, std::uint64_t partition_bytes, const Plant& old, Place place);

    static ScratchDirectory* sources_;
    static std::string setup_failure_;
    ScratchDirectory scratch_;
    const fs::path card_image_ = scratch_.file("card.img");
    const fs::path partition_image_ = scratch_.file("partition.img");
};

ScratchDirectory* StaleSignatures::sources_ = nullptr;
std::string StaleSignatures::setup_failure_;

// The partition start the builder picks for this card, read from its MBR.
std::uint64_t partition_start_bytes(const Card& card, const fs::path& image)
{
    if (!make_sparse_file(image, card.bytes)) {
        return 0;
    }
    OpenFailure failure = OpenFailure::none;
    auto device = FileDevice::open(image.string(), failure);
    std::vector<std::uint8_t> mbr(512);
    if (!device || !build(card.builder, *device, {"", u""}, current_format_stamp()).ok() ||
        device->read(0, mbr) != IoResult::ok) {
        return 0;
    }
    return std::uint64_t{load_le32(mbr, 0x1BE + 8)} * 512;
}

// Plants one old signature. An image goes to one place per card, since on a
// card whose partition starts within a few KiB two copies would overwrite
// each other; sfdisk and the md superblocks put theirs where they belong.
bool plant(const Plant& plant, Place place, const fs::path& card, std::uint64_t card_bytes,
           std::uint64_t partition_bytes, const fs::path& sources)
{
    switch (plant.source) {
    case Source::gpt_on_card:
        return run_command("echo 'label: gpt' | sfdisk -q " + card.string()).exit_code == 0;
    case Source::md_090_at_end:
        return plant_md_090(card, card_bytes);
    case Source::md_10_at_end:
        return plant_md_10(card, card_bytes);
    case Source::image:
        break;
    }
    return copy_image_into(sources / plant.image, card, place == Place::partition_start ? partition_bytes : 0);
}

void StaleSignatures::format_over(const Card& card, std::uint64_t partition_bytes, const Plant& old, Place place)
{
    SCOPED_TRACE(std::string(card.name) + ", old " + old.wipefs_type + " at place " +
                 std::to_string(static_cast<int>(place)));
    const std::uint64_t partition_length = card.bytes - partition_bytes;
    ASSERT_TRUE(make_sparse_file(card_image_, card.bytes));
    ASSERT_TRUE(plant(old, place, card_image_, card.bytes, partition_bytes, sources_->path()));

    // The old signature is there to be found before the format, or this proves nothing.
    fs::path view = card_image_;
    if (place == Place::partition_start) {
        ASSERT_TRUE(extract_sparse(card_image_, partition_bytes, partition_length, partition_image_));
        view = partition_image_;
    }
    ASSERT_TRUE(contains(wipefs_types(view), old.wipefs_type));

    {
        OpenFailure failure = OpenFailure::none;
        auto device = FileDevice::open(card_image_.string(), failure);
        ASSERT_TRUE(device) << describe(failure);
        ASSERT_TRUE(build(card.builder, *device, {"NEW", u"NEW"}, current_format_stamp()).ok());
    }

    EXPECT_EQ(wipefs_types(card_image_), std::vector<std::string>{"dos"});
    const Probe whole = blkid_probe(card_image_);
    EXPECT_EQ(whole.exit_code, 0);
    EXPECT_EQ(whole.partition_table, "dos");
    EXPECT_EQ(whole.type, "");

    ASSERT_TRUE(extract_sparse(card_image_, partition_bytes, partition_length, partition_image_));
    EXPECT_EQ(wipefs_types(partition_image_), std::vector<std::string>{card.file_system});
    const Probe volume = blkid_probe(partition_image_);
    EXPECT_EQ(volume.exit_code, 0);
    EXPECT_EQ(volume.type, card.file_system);
    EXPECT_EQ(volume.partition_table, "");
    // Old bytes left in a FAT or the root would show here as lost or cross-linked clusters.
    const std::string fsck = card.file_system == std::string("exfat") ? "fsck.exfat -n " : "fsck.fat -n ";
    const CommandResult checked = run_command(fsck + partition_image_.string());
    EXPECT_EQ(checked.exit_code, 0) << checked.output;
}

TEST_F(StaleSignatures, AfterAFormatReadersFindOnlyTheNewPartitionTableAndFileSystem)
{
    ASSERT_EQ(setup_failure_, "");
    for (const Card& card : cards) {
        const std::uint64_t partition_bytes = partition_start_bytes(card, card_image_);
        ASSERT_NE(partition_bytes, 0u) << card.name;
        for (const Plant& old : plants) {
            if (old.source == Source::image) {
                for (const Place place : old.places) {
                    format_over(card, partition_bytes, old, place);
                }
            } else {
                format_over(card, partition_bytes, old, old.places.front());
            }
        }
    }
}

}  // namespace
}  // namespace trellan

// Round trips through real tools: format a sparse image file, lift the
// partition out of it and let fsck.exfat and blkid judge the volume.
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image_tools.h"
#include "trellan/byte_order.h"
#include "trellan/exfat_format.h"
#include "trellan/file_device.h"

namespace trellan {
namespace {

using test_support::CommandResult;
using test_support::extract_sparse;
using test_support::make_sparse_file;
using test_support::run_command;
using test_support::ScratchDirectory;

struct CardRow {
    std::uint64_t sectors;
    std::uint32_t partition_start;
    std::uint32_t cluster_bytes;
};

TEST(ExfatImage, FsckAcceptsEveryCardSizeAndTheLayoutIsAligned)
{
    const CardRow rows[] = {
        {131'072, 64, 4'096},            // 64 MiB
        {2'097'152, 128, 32'768},        // 1 GiB
        {67'108'864, 8'192, 32'768},     // 32 GiB
        {67'108'865, 32'768, 131'072},   // first SDXC size
        {134'217'728, 32'768, 131'072},  // 64 GiB
        {268'435'457, 65'536, 262'144},
        {2'147'483'648, 131'072, 524'288},  // 1 TiB
        {4'294'967'295, 131'072, 524'288},  // 2 TiB - 1 sector
        {4'294'967'296, 131'072, 524'288},  // 2 TiB
    };
    ScratchDirectory scratch;
    for (const CardRow& row : rows) {
        SCOPED_TRACE(row.sectors);
        const std::string card_path = scratch.file("card.img").string();
        const std::string volume_path = scratch.file("volume.img").string();
        ASSERT_TRUE(make_sparse_file(card_path, row.sectors * 512));
        {
            OpenFailure failure = OpenFailure::none;
            auto card = FileDevice::open(card_path, failure);
            ASSERT_TRUE(card) << describe(failure);
            FormatStamp stamp;
            stamp.volume_serial = 0x1234ABCD;
            stamp.disk_signature = 0x55667788;
            ASSERT_TRUE(format_exfat(*card, u"Card \u00e9t\u00e9", stamp).ok());

            std::vector<std::uint8_t> mbr(512);
            ASSERT_EQ(card->read(0, mbr), IoResult::ok);
            EXPECT_EQ(mbr[0x1BE + 4], 0x07);
            EXPECT_EQ(load_le32(mbr, 0x1BE + 8), row.partition_start);
            EXPECT_EQ(std::uint64_t{load_le32(mbr, 0x1BE + 12)}, row.sectors - row.partition_start);
        }
        ASSERT_TRUE(extract_sparse(card_path, std::uint64_t{row.partition_start} * 512,
                                   (row.sectors - row.partition_start) * 512, volume_path));

        const CommandResult fsck = run_command("fsck.exfat -n " + volume_path);
        EXPECT_EQ(fsck.exit_code, 0) << fsck.output;
        EXPECT_EQ(fsck.output.find("ERROR"), std::string::npos) << fsck.output;

        const CommandResult label = run_command("blkid -p -s LABEL -o value " + volume_path);
        EXPECT_EQ(label.output, "Card \u00e9t\u00e9\n");

        const CommandResult dump = run_command("dump.exfat " + volume_path);
        const std::size_t cluster_size = dump.output.find("Cluster size:");
        ASSERT_NE(cluster_size, std::string::npos) << dump.output;
        EXPECT_EQ(std::stoul(dump.output.substr(cluster_size + 13)), row.cluster_bytes);

        // The heap starts on the boundary unit of the card: partition start
        // (one unit) plus a heap offset of one unit or a multiple of it.
        std::vector<std::uint8_t> boot(512);
        const int fd = ::open(volume_path.c_str(), O_RDONLY);
        ASSERT_EQ(::pread(fd, boot.data(), boot.size(), 0), 512);
        ::close(fd);
        EXPECT_EQ((row.partition_start + load_le32(boot, 88)) % row.partition_start, 0u);
        std::filesystem::remove(card_path);
        std::filesystem::remove(volume_path);
    }
}

// A card's old volume holds OEM parameters; a re-format keeps the records
// in use beside a flash-parameters record (in the main and the backup
// region, under a fresh checksum) and drops everything else.
TEST(ExfatImage, AReformatKeepsTheCardsOemRecordsAndNothingElse)
{
    constexpr std::uint64_t sectors = 2'097'152;  // 1 GiB
    constexpr std::uint32_t partition_start = 128;
    constexpr std::array<std::uint8_t, 16> flash_guid = {0x46, 0x7E, 0x0C, 0x0A, 0x99, 0x33, 0x21, 0x40,
                                                         0x90, 0xC8, 0xFA, 0x6D, 0x38, 0x9C, 0x4B, 0xA2};
    std::vector<std::uint8_t> with_record(512, 0);
    std::copy(flash_guid.begin(), flash_guid.end(), with_record.begin() + 48);  // the second record
    store_le32(with_record, 48 + 16, 4 * 1024 * 1024);                          // its erase block size
    std::vector<std::uint8_t> kept = with_record;
    with_record[500] = 0x77;  // past the ten records
    // Another formatter's fill of 0xFF around the record: ten "records" whose
    // GUID is all ones, none of them kept.
    std::vector<std::uint8_t> in_fill(512, 0xFF);
    std::copy(kept.begin() + 48, kept.begin() + 96, in_fill.begin() + 48);
    // Another maker's record beside it is kept too.
    std::vector<std::uint8_t> two_records = with_record;
    std::fill_n(two_records.begin() + 4 * 48, 16, 0x3C);
    two_records[4 * 48 + 20] = 0x01;
    std::vector<std::uint8_t> both_kept = kept;
    std::copy_n(two_records.begin() + 4 * 48, 48, both_kept.begin() + 4 * 48);
    const std::vector<std::uint8_t> garbage(512, 0x5A);
    const struct {
        const char* name;
        const std::vector<std::uint8_t>& before;
        std::vector<std::uint8_t> after;
    } rows[] = {
        {"a flash-parameters record", with_record, kept},
        {"a flash-parameters record in a fill of 0xFF", in_fill, kept},
        {"another maker's record beside it", two_records, both_kept},
        {"garbage", garbage, std::vector<std::uint8_t>(512, 0)},
    };
    ScratchDirectory scratch;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string card_path = scratch.file("card.img").string();
        const std::string volume_path = scratch.file("volume.img").string();
        ASSERT_TRUE(make_sparse_file(card_path, sectors * 512));
        {
            OpenFailure failure = OpenFailure::none;
            auto card = FileDevice::open(card_path, failure);
            ASSERT_TRUE(card) << describe(failure);
            ASSERT_TRUE(format_exfat(*card, u"OLD", FormatStamp{}).ok());
            ASSERT_EQ(card->write(partition_start + 9, row.before), IoResult::ok);
            ASSERT_TRUE(format_exfat(*card, u"NEW", FormatStamp{}).ok());
            for (const std::uint64_t region : {0, 12}) {
                std::vector<std::uint8_t> oem(512);
                ASSERT_EQ(card->read(partition_start + region + 9, oem), IoResult::ok);
                EXPECT_EQ(oem, row.after) << region;
            }
        }
        ASSERT_TRUE(extract_sparse(card_path, std::uint64_t{partition_start} * 512, (sectors - partition_start) * 512,
                                   volume_path));
        const CommandResult fsck = run_command("fsck.exfat -n " + volume_path);
        EXPECT_EQ(fsck.exit_code, 0) << fsck.output;
        std::filesystem::remove(card_path);
        std::filesystem::remove(volume_path);
    }
}

}  // namespace
}  // namespace trellan

// FAT builders on sparse image files, checked by fsck.fat and mtools: the
// volume is clean, takes a file, gives it back, and shows the label.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "image_tools.h"
#include "trellan/builders.h"
#include "trellan/file_device.h"

namespace trellan {
namespace {

namespace fs = std::filesystem;

using test_support::CommandResult;
using test_support::run_command;

class FatImage : public ::testing::Test {
protected:
    void SetUp() override { setenv("MTOOLS_SKIP_CHECK", "1", 1); }

    fs::path create_image(std::uint64_t sectors, bool random_fill)
    {
        const fs::path path = directory_.file("card.img");
        EXPECT_TRUE(test_support::make_sparse_file(path, sectors * 512));
        if (random_fill) {
            std::mt19937 random(sectors);
            std::vector<char> noise(sectors * 512);
            for (char& byte : noise) {
                byte = static_cast<char>(random());
            }
            std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).write(noise.data(), noise.size());
        }
        return path;
    }

    fs::path extract_partition(const fs::path& image, std::uint64_t start_sectors, std::uint64_t length_sectors)
    {
        const fs::path path = directory_.file("partition.img");
        EXPECT_TRUE(test_support::extract_sparse(image, start_sectors * 512, length_sectors * 512, path));
        return path;
    }

    test_support::ScratchDirectory directory_;
};

struct ImageCase {
    const char* builder;
    FormatStatus (*build)(BlockDevice&, const VolumeLabel&, const FormatStamp&);
    FatPlan (*plan_for)(std::uint64_t);
    std::uint64_t sectors;
    bool random_fill;  // an image full of noise must format just as clean
};

TEST_F(FatImage, EveryBuilderWritesAVolumeFsckAndMtoolsAccept)
{
    const ImageCase cases[] = {
        {"sd", build_sd, plan_sd, 8 << 11, true},                        // 8 MiB, FAT12
        {"sd", build_sd, plan_sd, 131072, true},                         // 64 MiB exactly: FAT16
        {"sd", build_sd, plan_sd, 1 << 20, false},                       // 512 MiB, FAT16
        {"sd", build_sd, plan_sd, 3970048, false},                       // a 2 GB card
        {"sd", build_sd, plan_sd, 4276224, false},                       // beyond the table: FAT32
        {"fat32", build_fat32, plan_sd_high_capacity, 7774208, false},   // 4 GB
        {"fat32", build_fat32, plan_sd_high_capacity, 62333952, false},  // 32 GB
        {"mmc", build_mmc, plan_mmc, 32 << 11, true},                    // 32 MiB
        {"mmc", build_mmc, plan_mmc, 1ull << 31, false},                 // 1 TiB
        {"cf", build_cf, plan_cf, 16 << 11, true},                       // 16 MiB
        {"cf", build_cf, plan_cf, 1 << 21, false},                       // 1 GiB, FAT16
        {"cf", build_cf, plan_cf, 16 << 21, false},                      // 16 GiB, FAT32
    };
    const fs::path payload = directory_.file("payload.bin");
    {
        std::ofstream out(payload, std::ios::binary);
        for (int line = 0; line < 5000; ++line) {
            out << "line " << line << " of the round-trip payload\n";
        }
    }
    for (const ImageCase& image_case : cases) {
        SCOPED_TRACE(std::string(image_case.builder) + " " + std::to_string(image_case.sectors) + " sectors");
        const fs::path image = create_image(image_case.sectors, image_case.random_fill);
        {
            OpenFailure failure = OpenFailure::none;
            const auto device = FileDevice::open(image, failure);
            ASSERT_TRUE(device);
            const FormatStatus status =
                image_case.build(*device, {"Round trip", u"Round trip"}, current_format_stamp());
            ASSERT_TRUE(status.ok()) << static_cast<int>(status.failure);
        }
        EXPECT_EQ(fs::file_size(image), image_case.sectors * 512);

        const FatPlan plan = image_case.plan_for(image_case.sectors);
        ASSERT_TRUE(plan.ok());
        const FatLayout& layout = plan.layout;
        EXPECT_EQ(layout.data_start_sectors() % layout.boundary_unit_sectors, 0u);

        const fs::path partition =
            extract_partition(image, layout.partition_start_sectors, layout.partition_length_sectors);
        const CommandResult fsck = run_command("fsck.fat -n " + partition.string());
        EXPECT_EQ(fsck.exit_code, 0) << fsck.output;
        EXPECT_EQ(fsck.output.find("Warning"), std::string::npos) << fsck.output;

        const std::string volume =
            " -i " + image.string() + "@@" + std::to_string(layout.partition_start_sectors * 512);
        const fs::path back = directory_.file("back.bin");
        EXPECT_EQ(run_command("mcopy -o" + volume + " " + payload.string() + " ::/PAYLOAD.BIN").exit_code, 0);
        const CommandResult listing = run_command("mdir" + volume + " ::/");
        EXPECT_NE(listing.output.find("PAYLOAD  BIN"), std::string::npos) << listing.output;
        EXPECT_NE(listing.output.find("Volume in drive : is ROUND TRIP"), std::string::npos) << listing.output;
        EXPECT_EQ(run_command("mcopy -o" + volume + " ::/PAYLOAD.BIN " + back.string()).exit_code, 0);
        EXPECT_EQ(run_command("cmp " + payload.string() + " " + back.string()).exit_code, 0);
        const CommandResult label = run_command("mlabel -s" + volume + " ::");
        EXPECT_NE(label.output.find("ROUND TRIP"), std::string::npos) << label.output;
        const CommandResult info = run_command("minfo" + volume + " ::");
        EXPECT_NE(info.output.find("cluster size: " + std::to_string(layout.sectors_per_cluster) + " sectors"),
                  std::string::npos)
            << info.output;
    }
}

TEST_F(FatImage, FileDeviceNeverGrowsTheImage)
{
    const fs::path image = create_image(2048 + 1, false);
    std::ofstream(image, std::ios::app) << "odd";  // a trailing partial sector is not part of the card
    OpenFailure failure = OpenFailure::none;
    const auto device = FileDevice::open(image, failure);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->length_sectors(), 2049u);
    const std::vector<std::uint8_t> sector(512, 0xAB);
    EXPECT_EQ(device->write(2049, sector), IoResult::out_of_range);
    EXPECT_EQ(device->write(2048, std::vector<std::uint8_t>(1024, 0xAB)), IoResult::out_of_range);
    EXPECT_EQ(device->write_zeros(2000, 50), IoResult::out_of_range);
    EXPECT_EQ(device->write(2048, sector), IoResult::ok);
    EXPECT_EQ(device->write_zeros(2048, 1), IoResult::ok);
    std::vector<std::uint8_t> back(512, 0xFF);
    EXPECT_EQ(device->read(2048, back), IoResult::ok);
    EXPECT_EQ(back, std::vector<std::uint8_t>(512, 0));
    EXPECT_EQ(fs::file_size(image), 2049u * 512 + 3);

    EXPECT_FALSE(FileDevice::open(directory_.file("missing.img").string(), failure));
    EXPECT_EQ(failure, OpenFailure::not_found);
}

TEST_F(FatImage, CommandLineReportsTheLayoutOrTheFailure)
{
    const fs::path image = create_image(62333952, false);
    const std::string tool = TRELLAN_FORMAT_PATH;
    const CommandResult fat32 = run_command(tool + " --builder fat32 --label Holiday " + image.string());
    EXPECT_EQ(fat32.exit_code, 0) << fat32.output;
    EXPECT_NE(fat32.output.find("file system: FAT32"), std::string::npos) << fat32.output;
    EXPECT_NE(fat32.output.find("partition start: sector 8192"), std::string::npos) << fat32.output;
    EXPECT_NE(fat32.output.find("cluster size: 32768 bytes"), std::string::npos) << fat32.output;

    const fs::path tiny = create_image(1000, false);
    const CommandResult too_small = run_command(tool + " --builder fat32 " + tiny.string());
    EXPECT_EQ(too_small.exit_code, 1);
    EXPECT_NE(too_small.output.find("too small"), std::string::npos) << too_small.output;
    EXPECT_EQ(run_command(tool + " --builder floppy " + image.string()).exit_code, 2);
}

}  // namespace
}  // namespace trellan

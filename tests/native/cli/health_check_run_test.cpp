// veltrane-format's card health checks on cards that fail as counterfeit
// and worn cards do: faulty-card, a FUSE file system, serves an image that
// wraps past its real size or drops every thousandth write, and a loop
// device over it makes a block device that does the same. A good image
// must pass. Skipped, with the reason, where FUSE cannot be mounted.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "image_tools.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::uint64_t kReportedBytes = 256 * kMiB;
constexpr std::uint64_t kRealBytes = 48 * kMiB;  // no power of two: the real size must come from the card

using test_support::CommandResult;
using test_support::run_command;

std::string Quoted(const fs::path& path)
{
    return "'" + path.string() + "'";
}

// A card that has been used: what it does not keep reads back as old data, not zeros.
bool MakeUsedImage(const fs::path& path, std::uint64_t lengthBytes)
{
    std::ofstream file(path, std::ios::binary);
    const std::string block(kMiB, '\xa5');
    for (std::uint64_t done = 0; done < lengthBytes; done += kMiB) {
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return static_cast<bool>(file);
}

// faulty-card running over a backing image until destroyed.
class FaultyCard {
public:
    // options: faulty-card's, after the mount point (a cache, a slow region).
    FaultyCard(const fs::path& backing, std::uint64_t reportedBytes, std::uint64_t dropEvery,
               const fs::path& mountPoint, const std::vector<std::string>& options = {})
        : card_(mountPoint / "card.img"), reportedBytes_(reportedBytes)
    {
        fs::create_directories(mountPoint);
        const std::string reported = std::to_string(reportedBytes);
        const std::string drop = std::to_string(dropEvery);
        const std::string backingPath = backing.string();
        const std::string mountPath = mountPoint.string();
        std::vector<const char*> arguments = {FAULTY_CARD_PATH, backingPath.c_str(), reported.c_str(), drop.c_str(),
                                              mountPath.c_str()};
        for (const std::string& option : options) {
            arguments.push_back(option.c_str());
        }
        arguments.push_back(nullptr);
        if (posix_spawn(&pid_, FAULTY_CARD_PATH, nullptr, nullptr, const_cast<char**>(arguments.data()), environ) !=
            0) {
            pid_ = -1;
            return;
        }
        for (int tries = 0; tries < 100 && !Mounted(); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~FaultyCard()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    FaultyCard(const FaultyCard&) = delete;
    FaultyCard& operator=(const FaultyCard&) = delete;

    bool Mounted() const
    {
        struct stat status {};
        return ::stat(card_.c_str(), &status) == 0 && static_cast<std::uint64_t>(status.st_size) == reportedBytes_;
    }
    const fs::path& Image() const { return card_; }

private:
    fs::path card_;
    std::uint64_t reportedBytes_;
    pid_t pid_ = -1;
};

// A loop device over the faulty image: the card as a real block device.
class LoopDevice {
public:
    explicit LoopDevice(const fs::path& image)
    {
        const CommandResult attach = run_command("losetup --find --show " + Quoted(image));
        if (attach.exit_code == 0) {
            path_ = attach.output.substr(0, attach.output.find('\n'));
        }
    }
    ~LoopDevice()
    {
        if (!path_.empty()) {
            run_command("losetup --detach " + Quoted(path_));
        }
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

CommandResult Format(const std::string& arguments)
{
    return run_command(VELTRANE_FORMAT_PATH " --yes " + arguments + " </dev/null");
}

// Where the first partition of the card's MBR ends.
std::uint64_t PartitionEndBytes(const fs::path& image)
{
    std::array<unsigned char, 512> mbr{};
    std::ifstream(image, std::ios::binary).read(reinterpret_cast<char*>(mbr.data()), mbr.size());
    const auto le32 = [&mbr](std::size_t at) {
        return std::uint64_t{mbr[at]} | std::uint64_t{mbr[at + 1]} << 8 | std::uint64_t{mbr[at + 2]} << 16 |
               std::uint64_t{mbr[at + 3]} << 24;
    };
    return (le32(446 + 8) + le32(446 + 12)) * 512;
}

bool InspectsClean(const fs::path& image)
{
    const CommandResult inspect = run_command(CARD_INSPECT_PATH " " + Quoted(image));
    return inspect.exit_code == 0 && inspect.output.find("\nfsck=clean\n") != std::string::npos;
}

class CardHealth : public ::testing::Test {
protected:
    // The faulty card, or a skip with the reason. A large card's backing
    // image is sparse: it reads zeros where it was not written.
    bool Start(std::uint64_t realBytes, std::uint64_t dropEvery, std::uint64_t reportedBytes = kReportedBytes,
               const std::vector<std::string>& options = {})
    {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            reason_ = "no usable /dev/fuse here";
            return false;
        }
        card_.reset();
        backing_ = directory_.file("backing.img");
        fs::remove(backing_);
        const bool made =
            realBytes <= kReportedBytes ? MakeUsedImage(backing_, realBytes) : std::ofstream(backing_).good();
        if (!made || ::truncate(backing_.c_str(), static_cast<off_t>(realBytes)) != 0) {
            reason_ = "cannot write the backing image";
            return false;
        }
        card_.emplace(backing_, reportedBytes, dropEvery, directory_.file("mnt"), options);
        if (!card_->Mounted()) {
            reason_ = "faulty-card could not mount its FUSE file system here";
            return false;
        }
        return true;
    }

    test_support::ScratchDirectory directory_;
    fs::path backing_;
    std::optional<FaultyCard> card_;  // unmounted before the directory goes
    std::string reason_;
};

TEST_F(CardHealth, AGoodCardPassesBothChecksAndIsFormatted)
{
    const fs::path image = directory_.file("good.img");
    ASSERT_TRUE(MakeUsedImage(image, kReportedBytes));
    const CommandResult run = Format("--check-capacity --mode complete --verify " + Quoted(image));
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("Capacity check passed"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Verified: 256 MiB in"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Erase pass done: 256 MiB in"), std::string::npos) << run.output;
    EXPECT_TRUE(InspectsClean(image));
}

TEST_F(CardHealth, AWrappingCardIsRefusedWithItsRealCapacityAndForcedOntoIt)
{
    const struct {
        std::uint64_t reported;
        std::uint64_t real;
        const char* capacity;
        const char* builder;  // the one then used, for the real capacity
    } cases[] = {
        {kReportedBytes, kRealBytes, "Real usable capacity: 50331648 bytes (48 MiB) of 268435456 bytes",
         "SD (FAT12/FAT16)"},
        // First seen at twice its size; the layout takes what the card holds.
        {kGiB * 128, 15'931'539'456, "Real usable capacity: 15931539456 bytes (15193 MiB) of 137438953472 bytes",
         "FAT32"},
        // No whole 4 KiB block.
        {kGiB * 4, 1'000'000'000, "Real usable capacity: 1000000000 bytes (953 MiB) of 4294967296 bytes",
         "SD (FAT12/FAT16)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        if (!Start(c.real, 0, c.reported)) {
            GTEST_SKIP() << reason_;
        }
        const CommandResult refused = Format("--check-capacity " + Quoted(card_->Image()));
        EXPECT_EQ(refused.exit_code, 7) << refused.output;
        EXPECT_NE(refused.output.find(c.capacity), std::string::npos) << refused.output;
        EXPECT_NE(refused.output.find("(the card wraps)"), std::string::npos) << refused.output;

        const CommandResult forced = Format("--check-capacity --force " + Quoted(card_->Image()));
        EXPECT_EQ(forced.exit_code, 0) << forced.output;
        EXPECT_NE(forced.output.find(std::string("Formatting for the real capacity (--force).\nBuilder:   ") +
                                     c.builder + ", "),
                  std::string::npos)
            << forced.output;
        // The file system fits what the card holds: the backing image is that card.
        EXPECT_LE(PartitionEndBytes(backing_), c.real);
        EXPECT_TRUE(InspectsClean(backing_));
    }
}

// A card whose writes the device refuses (the disk under the image full, an
// I/O error) is told as such, with the sector, in the erase and in the
// capacity check: not as a failing format nor as a card of less capacity.
TEST_F(CardHealth, AWriteTheDeviceRefusesIsToldWithItsReason)
{
    const struct {
        const char* options;
        const char* failure;  // faulty-card's errno
        const char* text;
    } cases[] = {
        {"--mode complete", "28", "a write to the card failed: the disk that holds the image is full (at sector "},
        {"--mode complete", "5", "a write to the card failed: I/O error on the card (at sector "},
        {"--check-capacity", "28", "the capacity check could not go on: the disk that holds the image is full (at "},
        {"--check-capacity", "5", "the capacity check could not go on: I/O error on the card (at sector "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " " + c.failure);
        if (!Start(kReportedBytes, 0, kReportedBytes, {"--fail-writes", std::string("134217728:") + c.failure})) {
            GTEST_SKIP() << reason_;
        }
        const CommandResult run = Format(std::string(c.options) + " " + Quoted(card_->Image()));
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(c.text), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Real usable capacity"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Success"), std::string::npos) << run.output;
    }
}

TEST_F(CardHealth, ACounterfeitCardThatReadsBackItsLatestWritesIsFoundAtItsRealSize)
{
    const struct {
        std::uint64_t reported;
        std::uint64_t real;
        std::uint64_t cache;
        const char* capacity;
    } cases[] = {
        {kGiB, 300 * kMiB, 256 * kMiB, "Real usable capacity: 314572800 bytes (300 MiB) of 1073741824 bytes"},
        {kGiB, 100 * kMiB, 64 * kMiB, "Real usable capacity: 104857600 bytes (100 MiB) of 1073741824 bytes"},
        {kGiB * 128, 15'931'539'456, 16 * kMiB,
         "Real usable capacity: 15931539456 bytes (15193 MiB) of 137438953472 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        if (!Start(c.real, 0, c.reported, {"--cache", std::to_string(c.cache)})) {
            GTEST_SKIP() << reason_;
        }
        const CommandResult refused = Format("--check-capacity " + Quoted(card_->Image()));
        EXPECT_EQ(refused.exit_code, 7) << refused.output;
        EXPECT_NE(refused.output.find(c.capacity), std::string::npos) << refused.output;
    }
}

// A JSON report read back by Python's parser: what expression, over the
// report as r, prints, e.g. r['speed']['slowest_write']['offset_bytes'].
std::string ReportField(const fs::path& report, const std::string& expression)
{
    const CommandResult read = run_command("python3 -c \"import json,sys; r=json.load(open(sys.argv[1])); print(" +
                                           expression + ")\" " + Quoted(report));
    return read.exit_code == 0 ? read.output.substr(0, read.output.find('\n')) : "unreadable: " + read.output;
}

TEST_F(CardHealth, TheSpeedTestNamesASlowRegionAndJudgesTheClassInTheReport)
{
    const struct {
        std::vector<std::string> card;  // faulty-card's options
        const char* speedClass;
        const char* verdict;  // in the terminal's words
        const char* slowest;  // the slowest region's offset, in the report
    } cases[] = {
        // Region 32 of 64, at 128 MiB, writes at 2 MB/s.
        {{"--slow", "134217728:138412032:2000000"},
         "C4",
         "Class C4 (4 MB/s sequential write), from --class: NOT kept",
         "134217728"},
        // Each 4 KiB write takes 5 ms: under 200 a second.
        {{"--small-write-delay", "5000"}, "A1", "random writes/s, under 500", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speedClass);
        if (!Start(kReportedBytes, 0, kReportedBytes, c.card)) {
            GTEST_SKIP() << reason_;
        }
        const fs::path report = directory_.file("report.json");
        const CommandResult run = Format("--speed --class " + std::string(c.speedClass) + " --report " +
                                         Quoted(report) + " " + Quoted(card_->Image()));
        EXPECT_EQ(run.exit_code, 10) << run.output;
        EXPECT_NE(run.output.find("Speed by region (MB/s"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find(c.verdict), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("formatted, but the card does not keep class"), std::string::npos) << run.output;
        EXPECT_EQ(ReportField(report, "r['exit_status']"), "10");
        EXPECT_EQ(ReportField(report, "r['capacity']['reported_bytes']"), "268435456");
        EXPECT_EQ(ReportField(report, "r['speed']['classes'][0]['kept']"), "False");
        EXPECT_EQ(ReportField(report, "len(r['speed']['regions'])"), "64");
        if (c.slowest != nullptr) {
            EXPECT_EQ(ReportField(report, "r['speed']['slowest_write']['offset_bytes']"), c.slowest);
            EXPECT_NE(run.output.find("Slowest write: "), std::string::npos) << run.output;
        }
    }
}

TEST_F(CardHealth, AReportThatCannotBeWrittenStopsTheRunBeforeTheCardIs)
{
    const fs::path image = directory_.file("good.img");
    ASSERT_TRUE(MakeUsedImage(image, 64 * kMiB));
    for (const std::string& report :
         {directory_.file("missing/report.json").string(), image.string(), directory_.path().string()}) {
        SCOPED_TRACE(report);
        const CommandResult run = Format("--speed --report " + Quoted(report) + " " + Quoted(image));
        EXPECT_EQ(run.exit_code, 2) << run.output;
        EXPECT_NE(run.output.find("nothing was written"), std::string::npos) << run.output;
        std::ifstream card(image, std::ios::binary);
        std::string start(kMiB, '\0');
        card.read(start.data(), static_cast<std::streamsize>(start.size()));
        EXPECT_EQ(start, std::string(kMiB, '\xa5'));
    }
}

TEST_F(CardHealth, ACardPulledDuringTheSpeedTestIsNotFormattedAndSaysSo)
{
    const fs::path image = directory_.file("pulled.img");
    const fs::path output = directory_.file("pulled.out");
    const fs::path report = directory_.file("pulled.json");
    ASSERT_TRUE(test_support::make_sparse_file(image, kGiB));
    const std::string command = VELTRANE_FORMAT_PATH " --yes --speed --report " + Quoted(report) + " " + Quoted(image) +
                                " >" + Quoted(output) + " 2>&1 </dev/null; echo status $? >>" + Quoted(output);
    const char* arguments[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t shell = -1;
    ASSERT_EQ(posix_spawn(&shell, "/bin/sh", nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
    const auto text = [&output] {
        std::ifstream file(output);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    // Pulled once the writes are measured, while the reads go on.
    for (int tries = 0; tries < 600 && text().find("Write speed measured") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(::truncate(image.c_str(), 0), 0);
    ::waitpid(shell, nullptr, 0);
    const std::string said = text();
    EXPECT_NE(said.find("the card stopped answering during the speed test; not formatted"), std::string::npos) << said;
    EXPECT_NE(said.find("status 1\n"), std::string::npos) << said;
    EXPECT_EQ(ReportField(report, "r['exit_status']"), "1");
    EXPECT_NE(ReportField(report, "r['speed']['failed_offset']"), "None");
    EXPECT_EQ(fs::file_size(image), 0u);
}

TEST_F(CardHealth, AWrappingBlockDeviceIsFoundByTheQuickAndTheFullCheck)
{
    if (!Start(kRealBytes, 0)) {
        GTEST_SKIP() << reason_;
    }
    const LoopDevice loop(card_->Image());
    if (loop.Path().empty()) {
        GTEST_SKIP() << "cannot attach a loop device here";
    }
    // A loop device is no removable medium, so --force is there from the start.
    for (const char* mode : {"", "--full "}) {
        SCOPED_TRACE(mode);
        const CommandResult run = Format(std::string("--check-capacity --force ") + mode + Quoted(loop.Path()));
        EXPECT_EQ(run.exit_code, 0) << run.output;
        EXPECT_NE(run.output.find("Real usable capacity: 50331648 bytes (48 MiB)"), std::string::npos) << run.output;
        EXPECT_TRUE(InspectsClean(backing_));
    }
}

TEST_F(CardHealth, ACardThatDropsWritesFailsTheCapacityCheckAndTheVerify)
{
    if (!Start(kReportedBytes, 1000)) {
        GTEST_SKIP() << reason_;
    }
    for (const char* mode : {"", "--full "}) {
        SCOPED_TRACE(mode);
        const CommandResult run = Format(std::string("--check-capacity ") + mode + Quoted(card_->Image()));
        EXPECT_EQ(run.exit_code, 7) << run.output;
        EXPECT_NE(run.output.find("test blocks read back wrong, the first at offset"), std::string::npos) << run.output;
    }
    const CommandResult verify = Format("--mode complete --verify " + Quoted(card_->Image()));
    EXPECT_EQ(verify.exit_code, 7) << verify.output;
    EXPECT_NE(verify.output.find("the card did not keep the Complete erase: offset "), std::string::npos)
        << verify.output;
    EXPECT_NE(verify.output.find("Fail\nFormat Error\n"), std::string::npos) << verify.output;
}

}  // namespace

// The card health checks' decisions: where the probes go, what they carry,
// what a wrapping or a write-dropping card's read-back concludes, and the
// progress text.
#include "cli/capacity_probe.h"
#include "cli/card_blocks.h"
#include "cli/card_health.h"
#include "cli/card_identity_linux.h"
#include "cli/card_report.h"
#include "cli/progress_text.h"
#include "cli/sd_registers.h"
#include "cli/speed_classes.h"
#include "trellan/byte_order.h"

#include <gtest/gtest.h>

#include "image_tools.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unordered_map>

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// A card of reportedBytes that keeps realBytes: the sector at o lands on
// o mod realBytes; with dropEvery, every such write is lost. What was never
// written reads back as old data. With cacheBytes, a read of a sector among
// the latest cacheBytes written answers what was sent to that offset, as a
// counterfeit card's cache does. It keeps only the tag of each probe sector
// (whose seed follows its 8-byte magic), so that a 2 TiB card fits in memory.
class WrappingCard final : public CardBlocks {
public:
    WrappingCard(std::uint64_t reportedBytes, std::uint64_t realBytes, std::uint64_t dropEvery,
                 std::uint64_t cacheBytes = 0)
        : reported_(reportedBytes), real_(realBytes), dropEvery_(dropEvery),
          cacheSectors_(cacheBytes / kProbeSectorBytes)
    {
    }

    bool Write(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        if (offset + bytes.size() > reported_) {
            return false;
        }
        if (dropEvery_ != 0 && writes_++ % dropEvery_ == dropEvery_ - 1) {
            return true;
        }
        for (std::size_t at = 0; at < bytes.size(); at += kProbeSectorBytes) {
            const auto sector = bytes.subspan(at, kProbeSectorBytes);
            const std::uint64_t seed = trellan::load_le64(sector, 8);
            const std::optional<std::uint64_t> tag = ReadProbeTag(seed, sector);
            const std::uint64_t physical = (offset + at) % real_;
            if (tag) {
                kept_[physical] = {seed, *tag};
            } else {
                kept_.erase(physical);
            }
            Cache(offset + at, tag ? std::optional(std::pair{seed, *tag}) : std::nullopt);
        }
        return true;
    }
    std::size_t Read(std::uint64_t offset, std::span<std::uint8_t> bytes) override
    {
        for (std::size_t at = 0; at < bytes.size(); at += kProbeSectorBytes) {
            const auto sector = bytes.subspan(at, kProbeSectorBytes);
            const auto cached = cached_.find(offset + at);
            const auto kept = kept_.find((offset + at) % real_);
            const Tag tag = cached != cached_.end() ? cached->second.first
                            : kept != kept_.end()   ? Tag(kept->second)
                                                    : std::nullopt;
            if (tag) {
                FillProbeBlock(tag->first, tag->second, sector);
            } else {
                std::fill(sector.begin(), sector.end(), 0xa5);
            }
        }
        return bytes.size();
    }
    void Settle() override {}

private:
    using Tag = std::optional<std::pair<std::uint64_t, std::uint64_t>>;  // seed, offset

    // Least recently written out first.
    void Cache(std::uint64_t offset, Tag tag)
    {
        if (cacheSectors_ == 0) {
            return;
        }
        if (const auto old = cached_.find(offset); old != cached_.end()) {
            order_.erase(old->second.second);
        }
        order_.push_back(offset);
        cached_[offset] = {tag, std::prev(order_.end())};
        if (order_.size() > cacheSectors_) {
            cached_.erase(order_.front());
            order_.pop_front();
        }
    }

    std::uint64_t reported_;
    std::uint64_t real_;
    std::uint64_t dropEvery_;
    std::uint64_t writes_ = 0;
    std::unordered_map<std::uint64_t, std::pair<std::uint64_t, std::uint64_t>> kept_;  // seed, offset
    std::uint64_t cacheSectors_;
    std::list<std::uint64_t> order_;
    std::unordered_map<std::uint64_t, std::pair<Tag, std::list<std::uint64_t>::iterator>> cached_;
};

// The whole capacity check, its targeted tests included, on such a card.
CapacityFinding CheckSimulatedCard(std::uint64_t reportedBytes, std::uint64_t realBytes, bool full,
                                   std::uint64_t dropEvery = 0, std::uint64_t cacheBytes = 0)
{
    WrappingCard card(reportedBytes, realBytes, dropEvery, cacheBytes);
    std::FILE* progress = std::fopen("/dev/null", "w");
    const CapacityFinding finding = CheckCapacity(card, PlanProbes(reportedBytes, full), 0x5eed, progress);
    std::fclose(progress);
    return finding;
}

TEST(CapacityProbes, SpreadOverTheWholeCardRisingAndInsideIt)
{
    for (const std::uint64_t cardBytes :
         {std::uint64_t{0}, std::uint64_t{4095}, 4 * kMiB + 512, 256 * kMiB, 8 * kGiB - 4096, 64 * kGiB, 2048 * kGiB}) {
        SCOPED_TRACE(cardBytes);
        const ProbePlan plan = PlanProbes(cardBytes, false);
        const std::uint64_t count = plan.ProbeCount();
        // A cache's worth in the head, then as many as in the spread, at
        // least 2048 in the spread: a few MiB on small cards, tens on large ones.
        EXPECT_LE(count, kCardCacheBytes / kProbeBlockBytes +
                             2 * static_cast<std::uint64_t>(std::sqrt(cardBytes / kProbeBlockBytes)) + 2048 + 3);
        if (cardBytes < kProbeBlockBytes) {
            EXPECT_EQ(count, 0u);
            continue;
        }
        EXPECT_EQ(plan.ProbeOffset(0), 0u);
        EXPECT_EQ(plan.ProbeOffset(count - 1), (cardBytes / kProbeBlockBytes - 1) * kProbeBlockBytes);
        for (std::uint64_t i = 1; i < count; ++i) {
            ASSERT_GT(plan.ProbeOffset(i), plan.ProbeOffset(i - 1)) << i;
            ASSERT_EQ(plan.ProbeOffset(i) % kProbeBlockBytes, 0u);
        }
    }
    const ProbePlan full = PlanProbes(64 * kMiB + 100, true);
    EXPECT_EQ(full.ProbeCount(), 64 * kMiB / kProbeBlockBytes);
    EXPECT_EQ(full.ContiguousCount(0, 256), 256u);
    EXPECT_EQ(full.ContiguousCount(full.ProbeCount() - 3, 256), 3u);
}

TEST(CapacityProbes, ASectorCarriesItsOffsetAndNothingElsePassesForIt)
{
    std::array<std::uint8_t, kProbeBlockBytes> block{};
    FillProbeBlock(7, 48 * kMiB, block);
    const auto sector = [&block](std::size_t index) {
        return std::span<const std::uint8_t>(block).subspan(index * kProbeSectorBytes, kProbeSectorBytes);
    };
    EXPECT_EQ(ReadProbeTag(7, sector(0)), 48 * kMiB);
    EXPECT_EQ(ReadProbeTag(7, sector(5)), 48 * kMiB + 5 * kProbeSectorBytes);
    EXPECT_EQ(ReadProbeTag(8, sector(0)), std::nullopt) << "an earlier run's sector";
    block[5 * kProbeSectorBytes + 300] ^= 1;
    EXPECT_EQ(ReadProbeTag(7, sector(5)), std::nullopt) << "a flipped bit";
    block.fill(0);
    EXPECT_EQ(ReadProbeTag(7, sector(0)), std::nullopt);
    std::array<std::uint8_t, kProbeBlockBytes> other{};
    FillProbeBlock(7, 0, block);
    FillProbeBlock(7, kProbeBlockBytes, other);
    EXPECT_NE(block, other);
}

TEST(CapacityJudge, AWrappingCardIsFoundAndItsRealSizeNamed)
{
    const struct {
        std::uint64_t reported;
        std::uint64_t real;
        bool full;
        std::uint64_t cache = 0;  // of its latest writes, which it reads back as sent
    } cases[] = {
        {256 * kMiB, 48 * kMiB, false},
        {256 * kMiB, 64 * 1024, false},        // inside the head
        {256 * kMiB, 5 * kMiB + 1536, false},  // inside the head, no whole block
        {64 * kGiB, 8 * kGiB, false},
        {64 * kGiB, 7 * kGiB + 300 * kMiB, false},  // no power of two, inside the head's reach
        {2048 * kGiB, 32 * kGiB, false},
        {256 * kMiB, 100 * kMiB, true},
        {128 * kGiB, 15'931'539'456, false},              // first seen at twice its size
        {128 * kGiB, 7'969'177'600, false},               // first seen at four times its size
        {128 * kGiB, 3 * kGiB + 4096, false},             // just past a power of two
        {4 * kGiB, 1'000'000'000, false},                 // no whole block
        {96 * kGiB, 40 * kGiB + 12345 * 512, false},      // between the spread's blocks
        {128 * kGiB, 15'931'539'456, false, 256 * kMiB},  // its cache holds every probe of a cache-blind check
        {64 * kGiB, 300 * kMiB, false, 256 * kMiB},       // just past the largest cache
        {4 * kGiB, 1'000'000'000, false, 64 * kMiB},
        {1 * kGiB, 48 * kMiB, true, 32 * kMiB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.reported) + " holding " + std::to_string(c.real));
        const CapacityFinding finding = CheckSimulatedCard(c.reported, c.real, c.full, 0, c.cache);
        EXPECT_FALSE(finding.Passed());
        EXPECT_EQ(finding.usableBytes, c.real);
        EXPECT_EQ(finding.aliasDistanceBytes, c.real);
        EXPECT_EQ(finding.probesWrong, 0u);
    }
}

TEST(CapacityJudge, AGoodCardPassesAndADroppedWriteFails)
{
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full);
        const CapacityFinding good = CheckSimulatedCard(256 * kMiB, 256 * kMiB, full);
        EXPECT_TRUE(good.Passed());
        EXPECT_EQ(good.usableBytes, 256 * kMiB);

        // The 100th write goes missing: its blocks, the first 100 runs on.
        const ProbePlan plan = PlanProbes(256 * kMiB, full);
        std::uint64_t index = 0;
        for (int run = 0; run < 99; ++run) {
            index += plan.ContiguousCount(index, 256);
        }
        const CapacityFinding dropping = CheckSimulatedCard(256 * kMiB, 256 * kMiB, full, 100);
        EXPECT_FALSE(dropping.Passed());
        EXPECT_EQ(dropping.probesAliased, 0u);
        EXPECT_EQ(dropping.firstWrongOffset, plan.ProbeOffset(index));
        EXPECT_EQ(dropping.usableBytes, plan.ProbeOffset(index));
    }
}

TEST(WrapSearch, PinsTheWrapDownFromAnyMultipleOfIt)
{
    const struct {
        std::uint64_t distance;
        std::uint64_t wrap;
    } cases[] = {
        {9 * kMiB, 3 * kMiB},  // a square prime factor
        {48 * kMiB, 48 * kMiB},
        {8 * 300 * kMiB, 300 * kMiB},
        {4 * 15'931'539'456, 15'931'539'456},
        {1'000'000'000 * std::uint64_t{6}, 1'000'000'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.distance) + " over " + std::to_string(c.wrap));
        // Probes at 0 and at the distance alone: the shortest alias seen is the distance.
        const std::uint64_t reported = c.distance + kProbeBlockBytes;
        WrappingCard card(reported, c.wrap, 0);
        std::FILE* progress = std::fopen("/dev/null", "w");
        const CapacityFinding finding =
            CheckCapacity(card, {.cardBytes = reported, .headBytes = 0, .spacingBytes = c.distance}, 1, progress);
        std::fclose(progress);
        EXPECT_EQ(finding.aliasDistanceBytes, c.wrap);
    }
}

TEST(SpeedClasses, TheSlowestRegionAndForApplicationClassesTheRandomOperationsDecide)
{
    constexpr double kMB = 1'000'000;
    const struct {
        const char* name;
        MeasuredSpeeds measured;
        std::size_t failures;
    } cases[] = {
        // clang-format off
        {"C10", {10 * kMB, 0, 0}, 0},
        {"c10", {9.9 * kMB, 0, 0}, 1},
        {"U3", {29 * kMB, 5000, 5000}, 1},
        {"V90", {90 * kMB, 0, 0}, 0},
        {"A1", {12 * kMB, 1500, 500}, 0},
        {"A1", {12 * kMB, 1600, 499}, 1},  // random writes too slow
        {"A2", {9 * kMB, 3999, 2000}, 2},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SpeedClassRow* row = SpeedClassNamed(c.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(JudgeSpeedClass(*row, c.measured, "--class").failures.size(), c.failures);
    }
    EXPECT_EQ(SpeedClassNamed("C8"), nullptr);
}

TEST(CardRegisters, PublishedCardsDecodeToTheirMakerProductDateAndCapacity)
{
    const struct {
        const char* cid;
        const char* csd;
        CardBus bus;
        unsigned manufacturer;
        const char* oem;
        const char* product;
        const char* revision;
        std::uint32_t serial;
        int year;
        int month;
        std::optional<std::uint64_t> capacity;
    } cases[] = {
        // A 64 GB SDXC card of maker 3 and a 128 GB one of maker 0x1b, as their owners published them.
        {"035344534e363447867e650771016b8d", "400e0032db790001dbd37f800a4040f9", CardBus::sd, 3, "SD", "SN64G", "8.6",
         0x7e650771, 2022, 11, 63'864'569'856},
        {"1b534d474434515430c03055650125e9", "400e00325b590003b9ff7f800a4040ab", CardBus::sd, 0x1b, "SM", "GD4QT",
         "3.0", 0xc0305565, 2018, 5, 128'043'712'512},
        // A standard-capacity card's CSD: C_SIZE 3623, C_SIZE_MULT 3, READ_BL_LEN 9, a maker's worked example.
        {"035344534e363447867e650771016b8d", "005e00325f598389ff8180000a4040f9", CardBus::sd, 3, "SD", "SN64G", "8.6",
         0x7e650771, 2022, 11, 59'375'616},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cid);
        const std::optional<CardRegisters> cid = DecodeCid(c.cid, c.bus);
        ASSERT_TRUE(cid);
        EXPECT_EQ(cid->manufacturerId, c.manufacturer);
        EXPECT_EQ(cid->oemId, c.oem);
        EXPECT_EQ(cid->productName, c.product);
        EXPECT_EQ(cid->revision, c.revision);
        EXPECT_EQ(cid->serialNumber, c.serial);
        EXPECT_EQ(cid->manufactureYear, c.year);
        EXPECT_EQ(cid->manufactureMonth, c.month);
        EXPECT_EQ(CsdCapacityBytes(c.csd, c.bus), c.capacity);
    }
    EXPECT_EQ(DecodeCid("035344", CardBus::sd), std::nullopt);
    // The SD Status of a card sold as C10 U3 V30 A2: speed class 4, UHS grade 3, video class 30, application class 2.
    std::string ssr(128, '0');
    ssr.replace(16, 2, "04");  // bits 447 to 440
    ssr[28] = '3';             // bits 399 to 396
    ssr.replace(30, 2, "1e");  // bits 391 to 384
    ssr[43] = '2';             // bits 339 to 336
    EXPECT_EQ(SsrClaimedClasses(ssr), (std::vector<std::string>{"C10", "U3", "V30", "A2"}));
    EXPECT_TRUE(SsrClaimedClasses(std::string(128, '0')).empty());
}

// A sysfs tree in which /dev/loop0's numbers lead to the device a row
// describes: its attributes as the kernel shows them, one file each.
TEST(CardIdentity, ANativeSlotsCardIsNamedByItsRegistersAndAReaderByItself)
{
    namespace fs = std::filesystem;
    struct stat status {};
    if (::stat("/dev/loop0", &status) != 0 || !S_ISBLK(status.st_mode)) {
        GTEST_SKIP() << "no /dev/loop0 here to stand for the card";
    }
    const struct {
        const char* device;  // under the tree's devices/
        bool partition;      // the block device is a partition of it
        std::vector<std::pair<const char*, const char*>> attributes;
        const char* said;  // "" for a device the tree says nothing of
    } cases[] = {
        {"platform/mmc0/mmc0:aaaa/block/mmcblk0",
         false,
         {{"size", "124735488"},
          {"device/type", "SD"},
          {"device/cid", "035344534e363447867e650771016b8d"},
          {"device/csd", "400e0032db790001dbd37f800a4040f9"}},
         "Card: SD card in a native slot; manufacturer id 3, OEM \"SD\", product \"SN64G\" revision 8.6, serial "
         "0x7e650771, made 2022-11.\n"},
        // A counterfeit: the CSD says 64 GB, the device 128 GiB.
        {"platform/mmc0/mmc0:aaaa/block/mmcblk0",
         true,
         {{"size", "268435456"},
          {"device/type", "SD"},
          {"device/cid", "035344534e363447867e650771016b8d"},
          {"device/csd", "400e0032db790001dbd37f800a4040f9"}},
         "but the device reports 137438953472 bytes"},
        {"pci0000:00/usb1/1-1/host0/target0:0:0/0:0:0:0/block/sdb",
         false,
         {{"size", "31116288"}, {"device/vendor", "Generic "}, {"device/model", "STORAGE DEVICE  "}},
         "Card reader: USB, \"Generic\" \"STORAGE DEVICE\""},
        {"virtual/block/loop0", false, {{"size", "2048"}}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const test_support::ScratchDirectory tree;
        const fs::path disk = tree.path() / "devices" / c.device;
        const fs::path block = c.partition ? disk / (disk.filename().string() + "p1") : disk;
        fs::create_directories(block);
        if (c.partition) {
            std::ofstream(block / "partition") << "1\n";
        }
        for (const auto& [name, value] : c.attributes) {
            fs::create_directories((disk / name).parent_path());
            std::ofstream(disk / name) << value << "\n";
        }
        fs::create_directories(tree.path() / "dev/block");
        fs::create_directory_symlink(
            block, tree.path() / "dev/block" /
                       (std::to_string(major(status.st_rdev)) + ":" + std::to_string(minor(status.st_rdev))));
        const std::optional<CardIdentity> identity = ReadCardIdentity("/dev/loop0", tree.path().string());
        if (std::string(c.said).empty()) {
            EXPECT_FALSE(identity);
            continue;
        }
        ASSERT_TRUE(identity);
        EXPECT_NE(DescribeIdentity(*identity).find(c.said), std::string::npos) << DescribeIdentity(*identity);
    }
}

TEST(ProgressText, SpeedAndTimeLeftFollowWhatIsDone)
{
    EXPECT_EQ(ProgressLine("Erasing", 0, 100'000'000, 0.1),
              "Erasing [                              ]   0%  -- MB/s  --:-- left");
    EXPECT_EQ(ProgressLine("Erasing", 25'000'000, 100'000'000, 1.0),
              "Erasing [#######                       ]  25%  25.0 MB/s  0:03 left");
    EXPECT_EQ(ProgressLine("Reading", 100'000'000, 100'000'000, 8.0),
              "Reading [##############################] 100%  12.5 MB/s  0:00 left");
    EXPECT_EQ(DurationText(3725), "1:02:05");
    EXPECT_EQ(DurationText(59.6), "1:00");
    EXPECT_EQ(PassSummary(256 * kMiB, 10.0), "256 MiB in 0:10, 26.8 MB/s");
}

}  // namespace

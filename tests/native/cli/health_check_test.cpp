// The card health checks' decisions: where the probes go, what they carry,
// what a wrapping or a write-dropping card's read-back concludes, and the
// progress text.
#include "cli/capacity_probe.h"
#include "cli/progress_text.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

// A card of reportedBytes that keeps realBytes: block b lands on b mod
// realBytes; with dropEvery, every such write is lost. Written and read in
// the order the capacity check uses.
CapacityFinding CheckSimulatedCard(std::uint64_t reportedBytes, std::uint64_t realBytes, bool full,
                                   std::uint64_t dropEvery = 0)
{
    constexpr std::uint64_t kSeed = 0x5eed;
    const ProbePlan plan = PlanProbes(reportedBytes, full);
    std::map<std::uint64_t, std::optional<std::uint64_t>> kept;  // physical block -> tag written there
    for (std::uint64_t i = 0; i < plan.ProbeCount(); ++i) {
        if (dropEvery == 0 || (i + 1) % dropEvery != 0) {
            kept[plan.ProbeOffset(i) % realBytes] = plan.ProbeOffset(i);
        }
    }
    CapacityJudge judge(reportedBytes);
    std::array<std::uint8_t, kProbeBlockBytes> block{};
    for (std::uint64_t i = 0; i < plan.ProbeCount(); ++i) {
        const auto found = kept.find(plan.ProbeOffset(i) % realBytes);
        block.fill(0);
        if (found != kept.end()) {
            FillProbeBlock(kSeed, *found->second, block);
        }
        judge.Record(plan.ProbeOffset(i), ReadProbeTag(kSeed, block));
    }
    return judge.Finding();
}

TEST(CapacityProbes, SpreadOverTheWholeCardRisingAndInsideIt)
{
    for (const std::uint64_t cardBytes :
         {std::uint64_t{0}, std::uint64_t{4095}, 4 * kMiB + 512, 256 * kMiB, 8 * kGiB - 4096, 64 * kGiB, 2048 * kGiB}) {
        SCOPED_TRACE(cardBytes);
        const ProbePlan plan = PlanProbes(cardBytes, false);
        const std::uint64_t count = plan.ProbeCount();
        EXPECT_LE(count, 2 * 2048 + 8192 + 2u);
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

TEST(CapacityProbes, ABlockCarriesItsOffsetAndNothingElsePassesForIt)
{
    std::array<std::uint8_t, kProbeBlockBytes> block{};
    FillProbeBlock(7, 48 * kMiB, block);
    EXPECT_EQ(ReadProbeTag(7, block), 48 * kMiB);
    EXPECT_EQ(ReadProbeTag(8, block), std::nullopt) << "an earlier run's block";
    block[3000] ^= 1;
    EXPECT_EQ(ReadProbeTag(7, block), std::nullopt) << "a flipped bit";
    block.fill(0);
    EXPECT_EQ(ReadProbeTag(7, block), std::nullopt);
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
    } cases[] = {
        {256 * kMiB, 48 * kMiB, false},
        {256 * kMiB, 64 * 1024, false},  // inside the head
        {64 * kGiB, 8 * kGiB, false},
        {64 * kGiB, 7 * kGiB + 300 * kMiB, false},  // no power of two, inside the head's reach
        {2048 * kGiB, 32 * kGiB, false},
        {256 * kMiB, 100 * kMiB, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.reported) + " holding " + std::to_string(c.real));
        const CapacityFinding finding = CheckSimulatedCard(c.reported, c.real, c.full);
        EXPECT_FALSE(finding.Passed());
        EXPECT_EQ(finding.usableBytes, c.real / kMiB * kMiB);
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

        const ProbePlan plan = PlanProbes(256 * kMiB, full);
        const CapacityFinding dropping = CheckSimulatedCard(256 * kMiB, 256 * kMiB, full, 1000);
        EXPECT_FALSE(dropping.Passed());
        EXPECT_EQ(dropping.probesWrong, plan.ProbeCount() / 1000);
        EXPECT_EQ(dropping.firstWrongOffset, plan.ProbeOffset(999));
        EXPECT_EQ(dropping.usableBytes, plan.ProbeOffset(999) / kMiB * kMiB);
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

#include "format/format_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr std::uint64_t kMiB = 1 << 20;

TEST(FormatPlan, SizeClassBoundariesOnWholeMebibytes)
{
    const struct {
        std::uint64_t bytes;
        SizeClass expected;
    } cases[] = {
        {0, SizeClass::small},
        {2088 * kMiB, SizeClass::small},
        {2089 * kMiB - 1, SizeClass::small},  // a byte short of 2,089 MiB still counts 2,088
        {2089 * kMiB, SizeClass::mid},
        {32896 * kMiB, SizeClass::mid},
        {32897 * kMiB - 1, SizeClass::mid},
        {32897 * kMiB, SizeClass::large},
        {std::uint64_t{1} << 41, SizeClass::large},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SizeClassOf(c.bytes), c.expected) << c.bytes;
    }
}

TEST(FormatPlan, EstimateTakesCylindersAndTracksPlusOne)
{
    const DiskGeometry card{
        .cylinders = 242, .mediaType = 11, .tracksPerCylinder = 255, .sectorsPerTrack = 63, .bytesPerSector = 512};
    EXPECT_EQ(CapacityEstimateBytes(card), 2006581248u);
    EXPECT_EQ(SizeClassOf(2006581248), SizeClass::small);

    // 32-bit track counts must not wrap when one is added.
    const DiskGeometry wide{
        .cylinders = 0, .mediaType = 0, .tracksPerCylinder = 0xFFFFFFFF, .sectorsPerTrack = 1, .bytesPerSector = 1};
    EXPECT_EQ(CapacityEstimateBytes(wide), std::uint64_t{1} << 32);

    EXPECT_EQ(CapacityEstimateBytes(DiskGeometry{}), 0u);
    EXPECT_EQ(CapacityEstimateBytes(DiskGeometry{.cylinders = -1}), std::nullopt);
    const DiskGeometry huge{.cylinders = std::numeric_limits<std::int64_t>::max(),
                            .mediaType = 0,
                            .tracksPerCylinder = 255,
                            .sectorsPerTrack = 63,
                            .bytesPerSector = 512};
    EXPECT_EQ(CapacityEstimateBytes(huge), std::nullopt);
}

TEST(FormatPlan, BuilderByCardTypeAndSizeClass)
{
    using enum trellan::Builder;
    const struct {
        CardType type;
        std::optional<trellan::Builder> small, mid, large;
    } cases[] = {
        {CardType::cf, cf, cf, cf},
        {CardType::sd, sd, fat32, exfat},
        {CardType::mmc, mmc, fat32, mmc},
        {CardType::none, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseBuilder(c.type, SizeClass::small), c.small);
        EXPECT_EQ(ChooseBuilder(c.type, SizeClass::mid), c.mid);
        EXPECT_EQ(ChooseBuilder(c.type, SizeClass::large), c.large);
    }
}

TEST(FormatPlan, ControlsReadInTheirPrecedence)
{
    const auto checked = [](std::vector<int> ids) {
        return [ids](int id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
    };
    EXPECT_EQ(CardTypeFromRadios(checked({IDC_CARD_SD, IDC_CARD_MMC, IDC_CARD_CF})), CardType::cf);
    EXPECT_EQ(CardTypeFromRadios(checked({IDC_CARD_SD, IDC_CARD_MMC})), CardType::sd);
    EXPECT_EQ(CardTypeFromRadios(checked({IDC_CARD_MMC})), CardType::mmc);
    EXPECT_EQ(CardTypeFromRadios(checked({})), CardType::none);
    EXPECT_EQ(EraseModeFromChecks(checked({IDC_OPTIMIZED_FORMAT, IDC_COMPLETE_FORMAT})), EraseMode::optimized);
    EXPECT_EQ(EraseModeFromChecks(checked({IDC_COMPLETE_FORMAT})), EraseMode::complete);
    EXPECT_EQ(EraseModeFromChecks(checked({})), EraseMode::none);
}

TEST(FormatPlan, ErasePlanBlocksAndTailSectors)
{
    const struct {
        EraseMode mode;
        std::uint64_t extent;
        std::uint32_t bytesPerSector;
        std::uint32_t blockBytes;
        std::uint64_t blocks;
        std::uint64_t tail;
    } cases[] = {
        {EraseMode::none, 8 * kMiB, 512, 0, 0, 0},
        {EraseMode::optimized, 8 * kMiB, 512, 8192, 16, 0},
        {EraseMode::complete, 8 * kMiB, 512, 524288, 16, 0},
        {EraseMode::complete, 5 * 524288 + 3 * 512, 512, 524288, 5, 3},
        {EraseMode::complete, 5 * 524288 + 3 * 512 + 511, 512, 524288, 5, 3},  // no part sector
        {EraseMode::optimized, 524287, 512, 8192, 0, 1023},
        {EraseMode::complete, 2 * 524288 + 8192, 4096, 524288, 2, 2},
        {EraseMode::complete, 0, 0, 524288, 0, 0},
    };
    for (const auto& c : cases) {
        const ErasePlan plan = PlanErase(c.mode, c.extent, c.bytesPerSector);
        EXPECT_EQ(plan.bytesPerBlock, c.blockBytes) << c.extent;
        EXPECT_EQ(plan.blockCount, c.blocks) << c.extent;
        EXPECT_EQ(plan.tailSectorCount, c.tail) << c.extent;
    }
    const ErasePlan big = PlanErase(EraseMode::complete, 8194 * std::uint64_t{524288} + 1024, 512);
    EXPECT_EQ(big.BlockOffsetBytes(8192), 4294967296u);
    EXPECT_EQ(big.BlockOffsetBytes(8193), 4295491584u);
    EXPECT_EQ(big.TailSectorOffsetBytes(1), 8194 * std::uint64_t{524288} + 512);
}

TEST(FormatPlan, ExFatWarningOnlyForTheAnswersThatLackSupport)
{
    const std::string lead = "Your operating system can't support exFAT file system, Are you sure you want to format "
                             "your card?";
    const struct {
        int answer;
        std::optional<std::string> text;
    } cases[] = {
        {0, std::nullopt},
        {1, std::nullopt},
        {2, lead + " Please upgrade your operating system with Service Pack 1 to support exFAT"},
        {3, lead + " Please upgrade your operating system with Service Pack 2 to support exFAT"},
        {4, lead + " Please update for Windows XP with exFAT patch KB955704 to support exFAT"},
        {5, lead},
        {6, lead + " Please upgrade your operating system with Service Pack 2 and exFAT patch "
                   "KB955704 to support exFAT"},
        {7, std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<std::string_view> text = ExFatWarningText(c.answer);
        EXPECT_EQ(text ? std::optional<std::string>(*text) : std::nullopt, c.text) << c.answer;
    }
}

}  // namespace

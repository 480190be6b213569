#include "controls/gradient_bands.h"

#include <gtest/gtest.h>

namespace {

// The dialog's bar: client width 328, red toward light grey.
constexpr BandColor kStart{255, 30, 60};
constexpr BandColor kEnd{210, 210, 210};
constexpr int kWidth = 328;

TEST(GradientBands, DialogColoursGive180BandsWithTheDocumentedColoursAndColumns)
{
    const BandPlan fill = PlanGradient(kStart, kEnd, kWidth, kWidth);
    ASSERT_EQ(fill.bands.size(), 180u);
    EXPECT_EQ(fill.backgroundLeft, kWidth);
    struct Row {
        std::size_t band;
        GradientBand expected;
    };
    const Row rows[] = {
        {0, {0, 1, {255, 30, 60}}},
        {1, {1, 3, {254, 31, 60}}},
        {90, {164, 165, {232, 120, 134}}},
        {179, {326, 328, {210, 209, 209}}},
    };
    for (const Row& row : rows) {
        const GradientBand& band = fill.bands[row.band];
        EXPECT_EQ(band, row.expected) << "band " << row.band << " columns " << band.left << ".." << band.right
                                      << " rgb " << int(band.color.red) << "," << int(band.color.green) << ","
                                      << int(band.color.blue);
    }
}

TEST(GradientBands, BandsTileTheWidthWithoutGapsOrOverlaps)
{
    const BandPlan fill = PlanGradient(kStart, kEnd, kWidth, kWidth);
    int next = 0;
    for (const GradientBand& band : fill.bands) {
        EXPECT_EQ(band.left, next);
        EXPECT_GE(band.right, band.left);
        next = band.right;
    }
    EXPECT_EQ(next, kWidth);
}

TEST(GradientBands, FilledPartEndsOnTheFirstBandEdgeBeyondTheLength)
{
    struct Row {
        int length;
        std::size_t bands;
        int backgroundLeft;
    };
    const Row rows[] = {
        {0, 1, 1},                                  // the smallest position still shows band 0
        {1, 2, 3},                                  // column 1 lies in band 1, which ends at 3
        {3, 3, 5},                                  // a length on a band edge takes the next band
        {164, 91, 165},                             // half of the bar
        {327, 180, kWidth}, {kWidth, 180, kWidth},  // full: no background at all
    };
    for (const Row& row : rows) {
        const BandPlan fill = PlanGradient(kStart, kEnd, kWidth, row.length);
        EXPECT_EQ(fill.bands.size(), row.bands) << "length " << row.length;
        EXPECT_EQ(fill.backgroundLeft, row.backgroundLeft) << "length " << row.length;
    }
}

TEST(GradientBands, ColumnColoursDoNotChangeAsTheBarGrows)
{
    const BandPlan full = PlanGradient(kStart, kEnd, kWidth, kWidth);
    for (int length : {0, 40, 200}) {
        const BandPlan part = PlanGradient(kStart, kEnd, kWidth, length);
        for (std::size_t i = 0; i < part.bands.size(); ++i)
            EXPECT_EQ(part.bands[i], full.bands[i]) << "length " << length << " band " << i;
    }
}

TEST(GradientBands, LastBandReachesTheEdgeWhenBandWidthsRoundShort)
{
    // 100 / 3 as a float is a hair under 33.34, so three bands end at 99.
    const BandPlan fill = PlanGradient({0, 0, 0}, {3, 0, 0}, 100, 100);
    ASSERT_EQ(fill.bands.size(), 3u);
    EXPECT_EQ(fill.bands[1].right, 66);
    EXPECT_EQ(fill.bands[2].left, 66);
    EXPECT_EQ(fill.bands[2].right, 100);
    EXPECT_EQ(fill.backgroundLeft, 100);
}

TEST(GradientBands, EqualColoursDrawASolidBarUpToTheLength)
{
    const BandPlan fill = PlanGradient({9, 9, 9}, {9, 9, 9}, 50, 20);
    ASSERT_EQ(fill.bands.size(), 1u);
    EXPECT_EQ(fill.bands[0], (GradientBand{0, 21, {9, 9, 9}}));
    EXPECT_EQ(fill.backgroundLeft, 21);
}

TEST(GradientBands, NoWidthDrawsNothing)
{
    const BandPlan fill = PlanGradient(kStart, kEnd, 0, 0);
    EXPECT_TRUE(fill.bands.empty());
}

TEST(GradientBar, GradientOnlyBetweenLowerExclusiveAndUpperInclusive)
{
    struct Row {
        int position;
        bool shows;
    };
    for (const Row& row : {Row{-1, false}, Row{0, false}, Row{1, true}, Row{100, true}, Row{101, false}})
        EXPECT_EQ(ShowsGradient(0, 100, row.position), row.shows) << "position " << row.position;
}

TEST(GradientBar, FilledLengthIsTheTruncatedShareOfTheWidth)
{
    struct Row {
        int position;
        int upper;
        int length;
    };
    const Row rows[] = {
        {1, 1000, 0},                            // 0.328 pixels
        {4, 1000, 1},                            // 1.312
        {500, 1000, 164},     {999, 1000, 327},  // 327.672
        {1000, 1000, kWidth}, {3, 7, 140},       // 140.57
    };
    for (const Row& row : rows)
        EXPECT_EQ(FilledLength(row.position, row.upper, kWidth), row.length) << row.position << "/" << row.upper;
}

TEST(GradientBar, PercentTextHasTwoDecimalsASpaceAndThePercentSign)
{
    struct Row {
        int position;
        int upper;
        const char* text;
    };
    const Row rows[] = {
        {45, 100, "45.00 %"}, {100, 100, "100.00 %"}, {1, 3, "33.33 %"}, {2, 3, "66.67 %"}, {1, 1000, "0.10 %"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(PercentText(0, row.upper, row.position), row.text);
}

}  // namespace

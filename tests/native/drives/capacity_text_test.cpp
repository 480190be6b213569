#include "drives/capacity_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const std::string kFour(4, ' ');

DiskGeometry Geometry(std::int64_t cylinders, std::uint32_t tracks, std::uint32_t sectors, std::uint32_t bytes)
{
    return {.cylinders = cylinders,
            .mediaType = 11,
            .tracksPerCylinder = tracks,
            .sectorsPerTrack = sectors,
            .bytesPerSector = bytes};
}

TEST(CapacityText, FormsAtTheUnitThresholds)
{
    const struct {
        std::int64_t bytes;
        std::string text;
    } cases[] = {
        {7970296320, "7.42 GBytes ( 7970296320  Bytes )" + kFour},
        {1977614336, "1.84 GBytes ( 1977614336  Bytes )" + kFour},
        {1073741824, "1.00 GBytes ( 1073741824  Bytes )" + kFour},
        {1073741823, "1023 MBytes ( 1073741823 Bytes )" + kFour},
        {2147483647, "1.99 GBytes ( 2147483647  Bytes )" + kFour},  // hundredths truncate, never 100
        {1181116006, "1.09 GBytes ( 1181116006  Bytes )" + kFour},  // one digit gets its zero
        {68719476736, "64.00 GBytes ( 68719476736  Bytes )" + kFour},
        {1048576, "1 MBytes ( 1048576 Bytes )" + kFour},
        {1048575, "1048575 Bytes" + kFour},
        {0, "0 Bytes" + kFour},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CapacityText(c.bytes), c.text) << c.bytes;
    }
}

TEST(CapacityText, DisplayedCapacityIsThePlainProductIn64Bits)
{
    EXPECT_EQ(DisplayedCapacityBytes(Geometry(969, 255, 63, 512)), 7970296320);
    EXPECT_EQ(DisplayedCapacityBytes(Geometry(8354, 255, 63, 512)), 68713989120);  // 64 GiB card
    EXPECT_EQ(DisplayedCapacityBytes(Geometry(0, 255, 63, 512)), 0);
    EXPECT_EQ(DisplayedCapacityBytes(Geometry(-5, 255, 63, 512)), 0);
    EXPECT_EQ(DisplayedCapacityBytes(Geometry(std::numeric_limits<std::int64_t>::max(), 255, 63, 512)),
              std::numeric_limits<std::int64_t>::max());
}

TEST(CapacityView, StartButtonFollowsTheQueryAndTheCard)
{
    const DiskGeometry card = Geometry(969, 255, 63, 512);
    const std::string cardText = "7.42 GBytes ( 7970296320  Bytes )" + kFour;
    const std::string unread = "0 Bytes" + std::string(40, ' ');
    const struct {
        CapacityQuery query;
        std::optional<DiskGeometry> geometry;
        std::string text;
        bool active;
        bool enabled;
        bool inactive;
        std::optional<std::uint64_t> lengthBytes = std::nullopt;  // as the volume reads it
    } cases[] = {
        {CapacityQuery::poll, card, cardText, true, true, false},
        {CapacityQuery::poll, std::nullopt, unread, false, false, true},
        {CapacityQuery::selectionChange, card, cardText, true, false, true},
        {CapacityQuery::selectionChange, std::nullopt, unread, false, false, true},
        // Zero cylinders were read: a card that answers, shown with 4 blanks.
        {CapacityQuery::poll, Geometry(0, 255, 63, 512), "0 Bytes" + kFour, true, true, false},
        // Under one cylinder: the card's own length, not 0 Bytes.
        {CapacityQuery::poll, Geometry(0, 255, 63, 512), "1 MBytes ( 1048577 Bytes )" + kFour, true, true, false,
         (1u << 20) + 1},
    };
    for (const auto& c : cases) {
        const CapacityView view = DecideCapacityView(c.query, c.geometry, c.lengthBytes);
        EXPECT_EQ(view.sizeText, c.text);
        EXPECT_EQ(view.cardActive, c.active) << c.text;
        EXPECT_EQ(view.startButton.windowEnabled, c.enabled) << c.text;
        EXPECT_EQ(view.startButton.inactive, c.inactive) << c.text;
    }
    EXPECT_EQ(unread.size(), 47u);
}

TEST(CapacityView, NoDriveBlanksTheLineAndKeepsStartUnusable)
{
    const CapacityView view = NoDriveCapacityView();
    EXPECT_EQ(view.sizeText, std::string(63, ' '));
    EXPECT_FALSE(view.cardActive);
    EXPECT_FALSE(view.startButton.windowEnabled);
    EXPECT_TRUE(view.startButton.inactive);
    EXPECT_EQ(ClearedSizeText(), std::string(26, ' '));
}

}  // namespace

// CComboDraw painted into a memory DC and read back: the arrow bitmap at the
// right end, the white field with its grey border on three sides.
#include <gtest/gtest.h>

#include <set>

#include "controls/combo_draw.h"
#include "platform/canvas.h"
#include "platform/gdi_object.h"
#include "res/resource.h"

namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 26;
constexpr COLORREF kUntouched = RGB(255, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBorder = RGB(140, 140, 140);
constexpr COLORREF kArrowEdge = RGB(112, 112, 112);

std::unique_ptr<Canvas> PaintCombo()
{
    auto canvas = std::make_unique<Canvas>(kWidth, kHeight, kUntouched);
    CDC dc(canvas->dc());
    CComboDraw::Paint(dc, RECT{0, 0, kWidth, kHeight});
    return canvas;
}

std::set<COLORREF> ArrowColours()
{
    CBitmap arrow;
    EXPECT_TRUE(arrow.LoadBitmap(IDB_COMBO_ARROW));
    Canvas source(17, 20, kUntouched);
    CDC memDC;
    memDC.CreateCompatibleDC(source.dc());
    const CSelectObject selected(memDC, arrow);
    ::BitBlt(source.dc(), 0, 0, 17, 20, memDC, 0, 0, SRCCOPY);
    std::set<COLORREF> colours;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 17; ++x)
            colours.insert(source.At(x, y));
    return colours;
}

TEST(ComboDraw, ArrowFillsColumnsWMinus19ToWMinus1AndRows2To23WithoutBlending)
{
    const auto canvas = PaintCombo();
    const std::set<COLORREF> sourceColours = ArrowColours();
    // Column W - 19 carries the field's right border line.
    for (int y = 2; y <= 23; ++y)
        for (int x = kWidth - 18; x < kWidth; ++x)
            ASSERT_TRUE(sourceColours.count(canvas->At(x, y))) << "a colour not in the bitmap at " << x << "," << y;
    // The bitmap's grey edge lands on the first and last rows and the last column.
    EXPECT_EQ(canvas->At(kWidth - 10, 2), kArrowEdge);
    EXPECT_EQ(canvas->At(kWidth - 10, 23), kArrowEdge);
    EXPECT_EQ(canvas->At(kWidth - 1, 12), kArrowEdge);
    // Nothing below the arrow, nothing in the two top rows.
    EXPECT_EQ(canvas->At(kWidth - 10, 24), kUntouched);
    for (const int x : {0, 50, kWidth - 1}) {
        EXPECT_EQ(canvas->At(x, 0), kUntouched);
        EXPECT_EQ(canvas->At(x, 1), kUntouched);
    }
}

TEST(ComboDraw, FieldIsWhiteWithGreyBorderOnLeftTopAndRightButNoBottomLine)
{
    const auto canvas = PaintCombo();
    struct Probe {
        const char* what;
        int x;
        int y;
        COLORREF color;
    };
    const Probe probes[] = {
        {"left line", 0, 12, kBorder},
        {"top line", 40, 2, kBorder},
        {"right line over the arrow's first column", kWidth - 19, 12, kBorder},
        {"inside", 40, 12, kWhite},
        {"last row: no bottom line", 40, kHeight - 1, kWhite},
        {"last row by the left line", 0, kHeight - 1, kBorder},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(canvas->At(p.x, p.y), p.color) << p.what;
}

}  // namespace

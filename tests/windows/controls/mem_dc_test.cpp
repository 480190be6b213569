// CMemDC over a memory-DC target: where the buffer lies, that it shares the
// target's coordinates, and that only its area reaches the target, at the end.
#include <gtest/gtest.h>

#include <optional>

#include "controls/mem_dc.h"
#include "platform/canvas.h"

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

SIZE BufferSize(HDC dc)
{
    BITMAP info{};
    ::GetObjectA(::GetCurrentObject(dc, OBJ_BITMAP), sizeof(info), &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

TEST(MemDC, BufferCoversTheAreaInTheTargetsCoordinatesAndReachesItOnlyAtTheEnd)
{
    struct Case {
        const char* what;
        RECT area;
        std::optional<RECT> targetClip;
        RECT expected;
    };
    const Case cases[] = {
        {"all zeros: the clip box", RECT{0, 0, 0, 0}, RECT{5, 6, 25, 20}, RECT{5, 6, 25, 20}},
        {"all zeros, no clipping: the whole surface", RECT{0, 0, 0, 0}, std::nullopt, RECT{0, 0, kWidth, kHeight}},
        {"offset area", RECT{10, 5, 30, 15}, std::nullopt, RECT{10, 5, 30, 15}},
        {"offset area inside a larger clip", RECT{10, 5, 30, 15}, RECT{0, 0, 35, 25}, RECT{10, 5, 30, 15}},
    };
    for (const Case& c : cases) {
        Canvas canvas(kWidth, kHeight, kWhite);
        if (c.targetClip)
            ::IntersectClipRect(canvas.dc(), c.targetClip->left, c.targetClip->top, c.targetClip->right,
                                c.targetClip->bottom);
        CDC target(canvas.dc());
        const RECT& e = c.expected;
        {
            CMemDC buffer(&target, c.area);
            EXPECT_TRUE(buffer.Area() == e) << c.what;
            const SIZE size = BufferSize(buffer);
            EXPECT_EQ(size.cx, e.right - e.left) << c.what;
            EXPECT_EQ(size.cy, e.bottom - e.top) << c.what;

            const RECT everything{-100, -100, 100, 100};
            buffer.FillSolidRect(&everything, kBlue);
            ::SetPixel(buffer, e.left, e.top, kGreen);
            EXPECT_EQ(canvas.At(e.left, e.top), kWhite) << c.what << ": nothing shows before the end";
        }
        EXPECT_EQ(canvas.At(e.left, e.top), kGreen) << c.what << ": same logical point";
        EXPECT_EQ(canvas.At(e.right - 1, e.bottom - 1), kBlue) << c.what;
        const POINT outside[] = {
            {e.left - 1, e.top}, {e.left, e.top - 1}, {e.right, e.bottom - 1}, {e.right - 1, e.bottom}};
        for (const POINT& p : outside) {
            if (p.x >= 0 && p.y >= 0 && p.x < kWidth && p.y < kHeight) {
                EXPECT_EQ(canvas.At(p.x, p.y), kWhite) << c.what << " at " << p.x << "," << p.y;
            }
        }
    }
}

TEST(MemDC, TargetPixelsStartKeepsWhatTheCallerDoesNotPaint)
{
    Canvas canvas(kWidth, kHeight, kWhite);
    ::SetPixel(canvas.dc(), 12, 7, kRed);
    CDC target(canvas.dc());
    {
        CMemDC buffer(&target, RECT{10, 5, 30, 15}, CMemDC::Start::TargetPixels);
        ::SetPixel(buffer, 20, 10, kGreen);
    }
    EXPECT_EQ(canvas.At(12, 7), kRed);
    EXPECT_EQ(canvas.At(20, 10), kGreen);
    EXPECT_EQ(canvas.At(11, 6), kWhite);
}

TEST(MemDC, InvertedAreaLeavesTheTargetUntouched)
{
    Canvas canvas(kWidth, kHeight, kWhite);
    CDC target(canvas.dc());
    {
        CMemDC buffer(&target, RECT{30, 20, 10, 5});
        const RECT everything{-100, -100, 100, 100};
        buffer.FillSolidRect(&everything, kBlue);
    }
    for (const POINT p : {POINT{10, 5}, POINT{20, 12}, POINT{29, 19}, POINT{0, 0}})
        EXPECT_EQ(canvas.At(p.x, p.y), kWhite) << p.x << "," << p.y;
}

}  // namespace

// CGradientProgressCtrl painted into a memory DC the size of the dialog's bar
// (client 328 x 13) with the dialog's colours, and read back.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "controls/gradient_progress_ctrl.h"
#include "platform/canvas.h"

namespace {

constexpr int kWidth = 328;
constexpr int kHeight = 13;
constexpr COLORREF kUntouched = RGB(255, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kBand0 = RGB(255, 30, 60);
constexpr COLORREF kBand1 = RGB(254, 31, 60);
constexpr COLORREF kBand90 = RGB(232, 120, 134);   // columns 164
constexpr COLORREF kBand179 = RGB(210, 209, 209);  // columns 326 and 327

void UseDialogColours(CGradientProgressCtrl& bar)
{
    bar.m_startColor = RGB(255, 30, 60);
    bar.m_endColor = RGB(210, 210, 210);
    bar.m_backgroundColor = kWhite;
    bar.m_textColor = kBlack;
}

std::unique_ptr<Canvas> PaintAt(int position, int upper, BOOL showPercent)
{
    CGradientProgressCtrl bar;
    UseDialogColours(bar);
    bar.m_upper = upper;
    bar.m_position = position;
    bar.m_showPercent = showPercent;
    auto canvas = std::make_unique<Canvas>(kWidth, kHeight, kUntouched);
    CDC dc(canvas->dc());
    bar.Paint(dc, RECT{0, 0, kWidth, kHeight});
    return canvas;
}

TEST(GradientProgressCtrl, BandsAndEdgesAtEachPosition)
{
    struct Probe {
        int x;
        COLORREF color;
    };
    struct Case {
        const char* what;
        int position;
        std::vector<Probe> probes;
    };
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const Case cases[] = {
        {"0 percent: button face", 0, {{0, face}, {164, face}, {327, face}}},
        {"above the range: button face", 1001, {{0, face}, {327, face}}},
        {"smallest step: band 0 alone", 1, {{0, kBand0}, {1, kWhite}, {327, kWhite}}},
        {"1.3 pixels: bands 0 and 1", 4, {{0, kBand0}, {1, kBand1}, {2, kBand1}, {3, kWhite}}},
        {"50 percent: up to band 90", 500, {{0, kBand0}, {164, kBand90}, {165, kWhite}, {327, kWhite}}},
        {"100 percent: every band, no background",
         1000,
         {{0, kBand0}, {164, kBand90}, {326, kBand179}, {327, kBand179}}},
    };
    for (const Case& c : cases) {
        const auto canvas = PaintAt(c.position, 1000, FALSE);
        for (const Probe& probe : c.probes)
            for (const int y : {0, kHeight / 2, kHeight - 1})
                EXPECT_EQ(canvas->At(probe.x, y), probe.color) << c.what << " at " << probe.x << "," << y;
    }
}

TEST(GradientProgressCtrl, PercentTextIsCentredInTheTextColourOverTheGradient)
{
    const auto canvas = PaintAt(500, 1000, TRUE);
    int left = kWidth;
    int right = -1;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (canvas->At(x, y) == kBlack) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, left) << "no text drawn";
    EXPECT_LE(std::abs((left + right + 1) - kWidth), 3) << "text spans " << left << ".." << right;
    // The gradient stays around the text, and the edges of the bar are untouched by it.
    EXPECT_EQ(canvas->At(0, 0), kBand0);
    EXPECT_EQ(canvas->At(327, kHeight - 1), kWhite);
}

TEST(GradientProgressCtrl, NoTextAtZeroPercent)
{
    const auto canvas = PaintAt(0, 1000, TRUE);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    for (int x = 0; x < kWidth; ++x)
        ASSERT_EQ(canvas->At(x, kHeight / 2), face) << x;
}

TEST(GradientProgressCtrl, EveryPositionChangeRepaintsTheWholeBarAndReachesTheControl)
{
    ASSERT_TRUE(CProgressCtrl::RegisterWindowClass(::GetModuleHandleA(nullptr)));
    const HWND window = ::CreateWindowExA(0, CProgressCtrl::kClassName, "", WS_POPUP | WS_BORDER, 40, 40, kWidth + 2,
                                          kHeight + 2, nullptr, nullptr, nullptr, nullptr);
    // The frame is 1 or 2 pixels a side, with or without a theme: the window
    // is sized so that the client area is the dialog bar's.
    RECT client{};
    ::GetClientRect(window, &client);
    ::SetWindowPos(window, nullptr, 0, 0, kWidth + 2 + kWidth - client.right, kHeight + 2 + kHeight - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CGradientProgressCtrl bar;
    ASSERT_TRUE(bar.SubclassWindow(window));
    // Not activated: destroying an active window makes Wine wait for the focus to move.
    bar.ShowWindow(SW_SHOWNOACTIVATE);
    UseDialogColours(bar);
    bar.SetBarRange(0, 1000);
    EXPECT_EQ(bar.m_position, 0);
    EXPECT_EQ(bar.SendMessage(PBM_GETRANGE, FALSE, 0), 1000);
    for (const int position : {1, 400, 1000}) {
        bar.UpdateWindow();
        bar.SetBarPosition(position);
        RECT update{};
        ::GetUpdateRect(window, &update, FALSE);
        EXPECT_EQ(update.left, 0);
        EXPECT_EQ(update.right, kWidth);
        EXPECT_EQ(update.bottom, kHeight);
        EXPECT_EQ(bar.GetPos(), position);
    }
    ::DestroyWindow(window);
}

}  // namespace

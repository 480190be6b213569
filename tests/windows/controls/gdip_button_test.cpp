// CGdipButton on a real parent window: the pictures are made by the button's
// first paint over the parent's pixels, then each state is drawn into a
// memory DC and read back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "controls/gdip_button.h"
#include "controls/gdiplus_bitmap.h"
#include "gdiplus_session.h"
#include "platform/canvas.h"
#include "test_images.h"

namespace {

const auto* const kGdiplus = testing::AddGlobalTestEnvironment(new GdiplusSession);

constexpr COLORREF kBackdrop = RGB(10, 90, 30);    // the parent's background
constexpr COLORREF kUntouched = RGB(255, 0, 255);  // a canvas nothing has drawn on
constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kYellow = RGB(200, 200, 0);
constexpr COLORREF kCyan = RGB(0, 200, 200);
// The button is larger than the 20 x 12 test images.
constexpr int kButtonWidth = 30;
constexpr int kButtonHeight = 20;
constexpr int kButtonId = 100;

COLORREF GridColor(int x, int y)
{
    return RGB(10 * x, 20 * y, 100);
}

class TestParent : public CWnd {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_ERASEBKGND, &TestParent::OnEraseBkgnd>(),
            MessageRow<kImageButtonDrawn, &TestParent::OnButtonDrawn>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    BOOL OnEraseBkgnd(CDC& dc)
    {
        RECT client{};
        GetClientRect(&client);
        dc.FillSolidRect(&client, kBackdrop);
        return TRUE;
    }
    LRESULT OnButtonDrawn(WPARAM, LPARAM)
    {
        ++drawnMessages;
        return 0;
    }

    int drawnMessages = 0;
};

void PumpMessages()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&message);
}

// A parent window with one image button, configured before the first paint
// and then shown, which makes the pictures.
class ButtonHost {
public:
    explicit ButtonHost(const std::function<void(CGdipButton&)>& configure, POINT at = {40, 40})
    {
        static const ATOM windowClass = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = "ControlsTestParent";
            return ::RegisterClassA(&wc);
        }();
        const HWND parent = ::CreateWindowExA(0, MAKEINTATOM(windowClass), "", WS_POPUP, at.x, at.y, 120, 80, nullptr,
                                              nullptr, ::GetModuleHandleA(nullptr), nullptr);
        m_parent.SubclassWindow(parent);
        const HWND button =
            ::CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 5, 5, kButtonWidth, kButtonHeight,
                              parent, reinterpret_cast<HMENU>(kButtonId), ::GetModuleHandleA(nullptr), nullptr);
        m_button.SubclassWindow(button);
        configure(m_button);
        ::ShowWindow(parent, SW_SHOWNOACTIVATE);
        ::UpdateWindow(parent);
        PumpMessages();
    }
    ~ButtonHost() { ::DestroyWindow(m_parent); }
    ButtonHost(const ButtonHost&) = delete;
    ButtonHost& operator=(const ButtonHost&) = delete;

    // What the button draws for `itemState` into a canvas of its size.
    std::unique_ptr<Canvas> Draw(UINT itemState = 0)
    {
        auto canvas = std::make_unique<Canvas>(kButtonWidth, kButtonHeight, kUntouched);
        DRAWITEMSTRUCT item{ODT_BUTTON,
                            kButtonId,
                            0,
                            ODA_DRAWENTIRE,
                            itemState,
                            m_button,
                            canvas->dc(),
                            RECT{0, 0, kButtonWidth, kButtonHeight},
                            0};
        m_button.DrawItem(&item);
        return canvas;
    }

    TestParent m_parent;
    CGdipButton m_button;
};

void LoadAllFaces(CGdipButton& button)
{
    EXPECT_TRUE(button.LoadNormalImage(IDP_TEST_RED, "PNG"));
    EXPECT_TRUE(button.LoadPressedImage(IDP_TEST_GREEN, "PNG"));
    EXPECT_TRUE(button.LoadHoverImage(IDP_TEST_BLUE, "PNG"));
    EXPECT_TRUE(button.LoadFixedImage(IDP_TEST_YELLOW, "PNG"));
    EXPECT_TRUE(button.LoadAlternateImage(IDP_TEST_CYAN, "PNG"));
}

TEST(GdipButton, SubclassingMakesTheButtonOwnerDrawn)
{
    ButtonHost host([](CGdipButton&) {});
    EXPECT_EQ(host.m_button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
}

TEST(GdipButton, EachStateShowsItsPictureWithFixedThenInactiveThenPressedThenHoverWinning)
{
    struct Case {
        const char* what;
        BOOL fixed;
        BOOL inactive;
        BOOL hovering;
        UINT itemState;
        COLORREF expected;
    };
    const Case cases[] = {
        {"normal", FALSE, FALSE, FALSE, 0, kRed},
        {"pressed", FALSE, FALSE, FALSE, ODS_SELECTED, kGreen},
        {"hover", FALSE, FALSE, TRUE, 0, kBlue},
        {"pressed while hovering", FALSE, FALSE, TRUE, ODS_SELECTED, kGreen},
        {"inactive: the alternate face", FALSE, TRUE, TRUE, ODS_SELECTED, kCyan},
        {"fixed over everything", TRUE, TRUE, TRUE, ODS_SELECTED, kYellow},
        {"focus and disabled flags are not states", FALSE, FALSE, FALSE, ODS_FOCUS | ODS_DISABLED, kRed},
    };
    ButtonHost host(LoadAllFaces);
    for (const Case& c : cases) {
        host.m_button.SetFixedImageMode(c.fixed);
        host.m_button.SetInactive(c.inactive);
        host.m_button.SendMessage(c.hovering ? WM_MOUSEHOVER : WM_MOUSELEAVE);
        const auto canvas = host.Draw(c.itemState);
        EXPECT_EQ(canvas->At(8, 6), c.expected) << c.what;
        // The images are smaller than the button: the parent shows beside and below.
        EXPECT_EQ(canvas->At(25, 6), kBackdrop) << c.what;
        EXPECT_EQ(canvas->At(8, 15), kBackdrop) << c.what;
    }
}

TEST(GdipButton, ThePicturesShowTheParentsBackgroundEvenWhenTheFirstPaintIsOffScreen)
{
    // The screen holds nothing of the parent there: only the parent's own
    // painting can give the backdrop.
    const POINT places[] = {{40, 40}, {::GetSystemMetrics(SM_CXSCREEN) - 10, 40}, {-100, -60}};
    for (const POINT at : places) {
        ButtonHost host(LoadAllFaces, at);
        ::SetWindowPos(host.m_parent, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        const auto canvas = host.Draw();
        EXPECT_EQ(canvas->At(8, 6), kRed) << at.x << "," << at.y;
        EXPECT_EQ(canvas->At(25, 6), kBackdrop) << at.x << "," << at.y;
        EXPECT_EQ(canvas->At(8, 15), kBackdrop) << at.x << "," << at.y;
    }
}

TEST(GdipButton, PressedPictureSitsOnePixelUpAndLeft)
{
    ButtonHost host([](CGdipButton& button) { button.LoadNormalImage(IDP_TEST_GRID, "PNG"); });
    const auto normal = host.Draw();
    const auto pressed = host.Draw(ODS_SELECTED);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 18; ++x) {
            ASSERT_EQ(normal->At(x, y), GridColor(x, y)) << x << "," << y;
            ASSERT_EQ(pressed->At(x, y), GridColor(x + 1, y + 1)) << x << "," << y;
        }
}

TEST(GdipButton, HoverWithoutAHoverImageBrightensTheNormalImage)
{
    ButtonHost host([](CGdipButton& button) { button.LoadNormalImage(IDP_TEST_GREY, "PNG"); });
    host.m_button.SendMessage(WM_MOUSEHOVER);
    const auto hover = host.Draw();
    // 128 / 255 x 1.05 + 0.05 = 0.577, that is 147 of 255 (0.5 would read 0.575).
    const COLORREF color = hover->At(8, 6);
    for (const int channel : {GetRValue(color), GetGValue(color), GetBValue(color)})
        EXPECT_NEAR(channel, 147, 1);
    host.m_button.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(host.Draw()->At(8, 6), RGB(128, 128, 128));
}

TEST(GdipButton, InactiveWithoutAnAlternateImageShowsThePressedPicture)
{
    ButtonHost host([](CGdipButton& button) {
        button.LoadNormalImage(IDP_TEST_GRID, "PNG");
        button.SetInactive(TRUE);
    });
    EXPECT_TRUE(host.m_button.IsInactive());
    EXPECT_EQ(host.Draw()->At(0, 0), GridColor(1, 1));
}

TEST(GdipButton, AFailedAlternateLoadFallsBackToThePressedPicture)
{
    ButtonHost host([](CGdipButton& button) {
        LoadAllFaces(button);
        EXPECT_FALSE(button.LoadAlternateImage(999, "PNG"));
        button.SetInactive(TRUE);
    });
    EXPECT_EQ(host.Draw()->At(8, 6), kGreen);
}

TEST(GdipButton, WithoutTheNeededImageNothingIsDrawn)
{
    struct Case {
        const char* what;
        std::function<void(CGdipButton&)> configure;
    };
    const Case cases[] = {
        {"fixed mode without a fixed image",
         [](CGdipButton& button) {
             button.LoadNormalImage(IDP_TEST_RED, "PNG");
             button.SetFixedImageMode(TRUE);
         }},
        {"no normal image, so no pictures at all",
         [](CGdipButton& button) {
             button.LoadPressedImage(IDP_TEST_GREEN, "PNG");
             button.LoadFixedImage(IDP_TEST_YELLOW, "PNG");
         }},
        {"a normal image that failed to load", [](CGdipButton& button) { button.LoadNormalImage(999, "PNG"); }},
    };
    for (const Case& c : cases) {
        ButtonHost host(c.configure);
        const auto canvas = host.Draw();
        EXPECT_EQ(canvas->At(8, 6), kUntouched) << c.what;
        EXPECT_EQ(canvas->At(25, 15), kUntouched) << c.what;
    }
}

TEST(GdipButton, PicturesAreMadeOnceAtTheFirstPaint)
{
    ButtonHost host([](CGdipButton& button) { button.LoadNormalImage(IDP_TEST_RED, "PNG"); });
    host.m_button.LoadNormalImage(IDP_TEST_BLUE, "PNG");
    host.m_button.RedrawWindow();
    EXPECT_EQ(host.Draw()->At(8, 6), kRed);
}

TEST(GdipButton, TellsTheParentAfterEveryDraw)
{
    ButtonHost host(LoadAllFaces);
    const int afterFirstPaint = host.m_parent.drawnMessages;
    EXPECT_GE(afterFirstPaint, 1);
    host.Draw();
    host.Draw(ODS_SELECTED);
    EXPECT_EQ(host.m_parent.drawnMessages, afterFirstPaint + 2);
}

TEST(GdipButton, ADrawWhileHiddenDrawsNothingAndShowsTheButton)
{
    ButtonHost host(LoadAllFaces);
    host.m_button.ShowWindow(SW_HIDE);
    EXPECT_EQ(host.Draw()->At(8, 6), kUntouched);
    EXPECT_TRUE(host.m_button.IsWindowVisible());
    EXPECT_EQ(host.Draw()->At(8, 6), kRed);
}

TEST(GdipButton, SettersRepaintOnlyWhenTheValueChanges)
{
    ButtonHost host(LoadAllFaces);
    RECT update{};
    host.m_button.SetInactive(FALSE);
    host.m_button.SetFixedImageMode(FALSE);
    EXPECT_FALSE(::GetUpdateRect(host.m_button, &update, FALSE));
    host.m_button.SetInactive(TRUE);
    EXPECT_TRUE(::GetUpdateRect(host.m_button, &update, FALSE));
    host.m_button.UpdateWindow();
    host.m_button.SetFixedImageMode(TRUE);
    EXPECT_TRUE(::GetUpdateRect(host.m_button, &update, FALSE));
}

TEST(GdipButton, ADoubleClickIsTurnedIntoASecondPress)
{
    ButtonHost host(LoadAllFaces);
    MSG onButton{host.m_button, WM_LBUTTONDBLCLK, MK_LBUTTON, 0, 0, {}};
    EXPECT_FALSE(host.m_button.PreTranslateMessage(&onButton));
    EXPECT_EQ(onButton.message, static_cast<UINT>(WM_LBUTTONDOWN));
    MSG elsewhere{host.m_parent, WM_LBUTTONDBLCLK, MK_LBUTTON, 0, 0, {}};
    host.m_button.PreTranslateMessage(&elsewhere);
    EXPECT_EQ(elsewhere.message, static_cast<UINT>(WM_LBUTTONDBLCLK));
}

TEST(GdiPlusBitmapResource, LoadMeasuresTheImageAndAFailedLoadLeavesItEmpty)
{
    CGdiPlusBitmapResource image;
    ASSERT_TRUE(image.Load(IDP_TEST_GRID, "PNG", ::GetModuleHandleA(nullptr)));
    EXPECT_EQ(image.GetWidth(), 20u);
    EXPECT_EQ(image.GetHeight(), 12u);
    EXPECT_NE(image.m_buffer, nullptr);
    struct Case {
        UINT id;
        const char* type;
    };
    for (const Case& c : {Case{999, "PNG"}, Case{IDP_TEST_GRID, "BMP"}, Case{IDP_TEST_NOT_AN_IMAGE, "PNG"}}) {
        EXPECT_FALSE(image.Load(c.id, c.type, ::GetModuleHandleA(nullptr))) << c.id << " " << c.type;
        EXPECT_EQ(image.m_bitmap, nullptr);
        EXPECT_EQ(image.m_buffer, nullptr);
        EXPECT_EQ(image.GetWidth(), 0u);
    }
}

}  // namespace

// CBitmapButton: sized to its bitmaps, and drawing the bitmap of its state.
#include <gtest/gtest.h>

#include "canvas.h"
#include "platform/bitmap_button.h"
#include "platform/dialog.h"
#include "test_resource.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);    // normal.bmp
constexpr COLORREF kGreen = RGB(0, 255, 0);  // selected.bmp
constexpr COLORREF kBlue = RGB(0, 0, 255);   // disabled.bmp
constexpr COLORREF kWhite = RGB(255, 255, 255);

class CButtonDlg : public CDialog {
public:
    CButtonDlg() : CDialog(IDD_TEST) {}

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_button.SubclassDlgItem(IDC_PICTURE, this);
        loaded = m_button.LoadBitmaps(IDB_NORMAL, IDB_SELECTED, 0, IDB_DISABLED);
        m_button.SizeToContent();
        m_button.GetWindowRect(&windowRect);
        EndDialog(IDOK);
        return TRUE;
    }

    CBitmapButton m_button;
    BOOL loaded = FALSE;
    RECT windowRect{};
};

TEST(BitmapButton, SizeToContentTakesTheNormalBitmapsSize)
{
    CButtonDlg dialog;
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.loaded);
    EXPECT_EQ(dialog.windowRect.right - dialog.windowRect.left, 24);
    EXPECT_EQ(dialog.windowRect.bottom - dialog.windowRect.top, 12);
}

TEST(BitmapButton, LoadBitmapsFailsWithoutANormalBitmapOrWithAMissingOne)
{
    CBitmapButton button;
    EXPECT_FALSE(button.LoadBitmaps(0, IDB_SELECTED));
    EXPECT_FALSE(button.LoadBitmaps(IDB_NORMAL, 999));
    EXPECT_TRUE(button.LoadBitmaps(IDB_NORMAL));
}

TEST(BitmapButton, DrawsTheBitmapOfItsStateIntoTheItemRectangle)
{
    struct Case {
        UINT state;
        COLORREF color;
    };
    const Case cases[] = {
        {0, kRed},
        {ODS_SELECTED, kGreen},
        {ODS_DISABLED, kBlue},
        {ODS_FOCUS, kRed},  // no focus bitmap: the normal one stands in
        {ODS_SELECTED | ODS_DISABLED, kGreen},
    };
    CBitmapButton button;
    ASSERT_TRUE(button.LoadBitmaps(IDB_NORMAL, IDB_SELECTED, 0, IDB_DISABLED));
    for (const Case& c : cases) {
        Canvas canvas(40, 20, kWhite);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.itemState = c.state;
        item.hDC = canvas.dc();
        item.rcItem = RECT{4, 2, 28, 14};
        button.DrawItem(&item);
        EXPECT_EQ(canvas.At(4, 2), c.color) << "state " << c.state;
        EXPECT_EQ(canvas.At(27, 13), c.color) << "state " << c.state;
        EXPECT_EQ(canvas.At(3, 2), kWhite) << "state " << c.state;
        EXPECT_EQ(canvas.At(28, 14), kWhite) << "state " << c.state;
    }
}

}  // namespace

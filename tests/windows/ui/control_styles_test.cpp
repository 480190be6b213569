#include "ui/control_styles.h"

#include <gtest/gtest.h>

#include "res/resource.h"

namespace {

class ControlStyles : public testing::Test {
protected:
    void SetUp() override
    {
        m_fonts.Create();
        m_dc.CreateCompatibleDC(nullptr);
    }

    HGDIOBJ SelectedFont() const { return GetCurrentObject(m_dc, OBJ_FONT); }

    DialogFonts m_fonts;
    CDC m_dc;
};

TEST_F(ControlStyles, ResultLineColourFollowsItsText)
{
    struct Case {
        const char* text;
        COLORREF color;
    };
    const COLORREF untouched = GetTextColor(m_dc);
    const Case cases[] = {
        {"Success ", RGB(0, 0, 255)},
        {"Fail", RGB(255, 0, 0)},
        {"Success Fail", RGB(0, 0, 255)},  // the first rule wins
        {"Success", untouched},            // the success word has a trailing blank
        {"Cancel", untouched},
        {"                       ", untouched},
    };
    for (const Case& c : cases) {
        SetTextColor(m_dc, untouched);
        SetBkColor(m_dc, RGB(1, 2, 3));
        EXPECT_EQ(StyleControl(m_dc, IDC_STATUS_RESULT, CTLCOLOR_STATIC, c.text, m_fonts), GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GetTextColor(m_dc), c.color) << c.text;
        EXPECT_EQ(GetBkColor(m_dc), RGB(255, 255, 255)) << c.text;
        EXPECT_EQ(SelectedFont(), m_fonts.m_result.GetSafeHandle()) << c.text;
        EXPECT_EQ(GetBkMode(m_dc), OPAQUE) << "white cells behind the glyphs";
    }
}

TEST_F(ControlStyles, CaptionsAreDrawnWithoutBackgroundOverTheSkin)
{
    for (int id : {IDC_DRIVE_CAPTION, IDC_SIZE_CAPTION, IDC_DISK_SIZE, IDC_SD_TEXT}) {
        SetBkMode(m_dc, OPAQUE);
        EXPECT_EQ(StyleControl(m_dc, id, CTLCOLOR_STATIC, "", m_fonts), GetStockObject(NULL_BRUSH));
        EXPECT_EQ(GetBkMode(m_dc), TRANSPARENT) << id;
        EXPECT_EQ(SelectedFont(), m_fonts.m_caption.GetSafeHandle()) << id;
        EXPECT_EQ(GetTextColor(m_dc), id == IDC_DRIVE_CAPTION ? RGB(255, 0, 0) : RGB(140, 140, 140)) << id;
    }
}

TEST_F(ControlStyles, LabelCaptionsAreStyledWhateverTheControlKind)
{
    EXPECT_EQ(StyleControl(m_dc, IDC_LABEL_CAPTION, CTLCOLOR_BTN, "", m_fonts), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetTextColor(m_dc), RGB(255, 0, 0));
    EXPECT_EQ(SelectedFont(), m_fonts.m_label.GetSafeHandle());
    EXPECT_EQ(StyleControl(m_dc, IDC_OPTIMIZED_TEXT, CTLCOLOR_STATIC, "", m_fonts), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetTextColor(m_dc), RGB(140, 140, 140));
}

TEST_F(ControlStyles, OtherControlsAndOtherKindsGetTheBaseHandling)
{
    EXPECT_EQ(StyleControl(m_dc, IDC_LABEL, CTLCOLOR_EDIT, "BREVALD", m_fonts), nullptr);
    EXPECT_EQ(StyleControl(m_dc, IDC_DRIVE_LIST, CTLCOLOR_EDIT, "E", m_fonts), nullptr);
    EXPECT_EQ(StyleControl(m_dc, IDC_START, CTLCOLOR_BTN, "", m_fonts), nullptr);
    EXPECT_EQ(StyleControl(m_dc, IDC_DISK_SIZE, CTLCOLOR_BTN, "", m_fonts), nullptr);
    EXPECT_EQ(StyleControl(m_dc, IDC_STATUS_RESULT, CTLCOLOR_EDIT, "Fail", m_fonts), nullptr);
}

}  // namespace

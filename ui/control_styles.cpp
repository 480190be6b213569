// The main dialog's answer to control-colour requests: per control, a font,
// a text colour and a background, and the hollow brush so that no control
// fills its background over the skin.
#include "ui/control_styles.h"

#include "platform/string_resource.h"
#include "res/resource.h"

namespace {
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(140, 140, 140);
constexpr COLORREF kWhite = RGB(255, 255, 255);

HBRUSH HollowBrush()
{
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

// Caption rows: font, colour and transparency only when the font exists.
void StyleCaption(CDC& dc, const CFont& font, COLORREF color)
{
    if (font.GetSafeHandle() == nullptr)
        return;
    dc.SelectObject(font);
    dc.SetTextColor(color);
    dc.SetBkMode(TRANSPARENT);
}

// The result line's colour follows its text: success blue, failure red.
void StyleResultLine(CDC& dc, const CFont& font, const std::string& text)
{
    if (font.GetSafeHandle() == nullptr)
        return;
    dc.SelectObject(font);
    if (text.find(LoadResourceString(IDS_SUCCESS)) != std::string::npos)
        dc.SetTextColor(kBlue);
    else if (text.find(LoadResourceString(IDS_FAIL)) != std::string::npos)
        dc.SetTextColor(kRed);
    dc.SetBkColor(kWhite);
}

void StyleLabelCaption(CDC& dc, const CFont& font, COLORREF color)
{
    if (font.GetSafeHandle() != nullptr)
        dc.SelectObject(font);
    dc.SetTextColor(color);
    dc.SetBkColor(kWhite);
}
}  // namespace

void ApplyControlFonts(HWND dialog, const DialogFonts& fonts)
{
    struct ControlFont {
        int id;
        CFont DialogFonts::*font;
    };
    static constexpr ControlFont kFonts[] = {
        {IDC_DRIVE_CAPTION, &DialogFonts::m_caption}, {IDC_DISK_SIZE, &DialogFonts::m_caption},
        {IDC_SIZE_CAPTION, &DialogFonts::m_caption},  {IDC_SD_TEXT, &DialogFonts::m_caption},
        {IDC_MMC_TEXT, &DialogFonts::m_caption},      {IDC_CF_TEXT, &DialogFonts::m_caption},
        {IDC_STATUS_RESULT, &DialogFonts::m_result},  {IDC_STATUS_HINT, &DialogFonts::m_caption},
        {IDC_LABEL_CAPTION, &DialogFonts::m_label},   {IDC_COMPLETE_TEXT, &DialogFonts::m_label},
        {IDC_OPTIMIZED_TEXT, &DialogFonts::m_label},
    };
    for (const ControlFont& entry : kFonts) {
        const CFont& font = fonts.*entry.font;
        if (font.GetSafeHandle() != nullptr)
            SendDlgItemMessageA(dialog, entry.id, WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), FALSE);
    }
}

HBRUSH StyleControl(CDC& dc, int id, UINT ctlType, const std::string& text, const DialogFonts& fonts)
{
    if (ctlType == CTLCOLOR_STATIC) {
        switch (id) {
        case IDC_DRIVE_CAPTION:
            StyleCaption(dc, fonts.m_caption, kRed);
            return HollowBrush();
        case IDC_DISK_SIZE:
        case IDC_SIZE_CAPTION:
        case IDC_SD_TEXT:
        case IDC_MMC_TEXT:
        case IDC_CF_TEXT:
            StyleCaption(dc, fonts.m_caption, kGrey);
            return HollowBrush();
        case IDC_STATUS_RESULT:
            StyleResultLine(dc, fonts.m_result, text);
            return HollowBrush();
        case IDC_STATUS_HINT:
            if (fonts.m_caption.GetSafeHandle() != nullptr) {
                dc.SelectObject(fonts.m_caption);
                dc.SetTextColor(kRed);
                dc.SetBkColor(kWhite);
            }
            return HollowBrush();
        default:
            break;
        }
    }
    switch (id) {
    case IDC_LABEL_CAPTION:
        StyleLabelCaption(dc, fonts.m_label, kRed);
        return HollowBrush();
    case IDC_COMPLETE_TEXT:
    case IDC_OPTIMIZED_TEXT:
        StyleLabelCaption(dc, fonts.m_label, kGrey);
        return HollowBrush();
    case IDC_CARD_SD:
    case IDC_CARD_CF:
    case IDC_CARD_MMC:
    case IDC_COMPLETE_FORMAT:
    case IDC_OPTIMIZED_FORMAT:
        dc.SetBkColor(kWhite);
        return HollowBrush();
    default:
        return nullptr;
    }
}

// The main dialog's answer to control-colour requests: per control, a font,
// a text colour and a background, and the hollow brush so that no control
// fills its background over the skin.
#include "ui/control_styles.h"

#include "cards/card_types.h"
#include "format/erase_modes.h"
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

bool IsCardCaption(int id)
{
    for (const CardTypeRow& row : kCardTypeRows) {
        if (row.captionId == id)
            return true;
    }
    return false;
}

bool IsEraseCaption(int id)
{
    for (const EraseModeRow& row : kEraseModeRows) {
        if (row.captionId == id)
            return true;
    }
    return false;
}

// The card-type radios and the erase-mode check boxes.
bool IsChoiceButton(int id)
{
    return CardTypeRowOfRadio(id) != nullptr || EraseModeRowOfCheckBox(id) != nullptr;
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
        {IDC_SIZE_CAPTION, &DialogFonts::m_caption},  {IDC_STATUS_RESULT, &DialogFonts::m_result},
        {IDC_STATUS_HINT, &DialogFonts::m_caption},   {IDC_LABEL_CAPTION, &DialogFonts::m_label},
    };
    const auto setFont = [dialog](int id, const CFont& font) {
        if (font.GetSafeHandle() != nullptr)
            SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font.GetSafeHandle()), FALSE);
    };
    for (const ControlFont& entry : kFonts)
        setFont(entry.id, fonts.*entry.font);
    for (const CardTypeRow& row : kCardTypeRows)
        setFont(row.captionId, fonts.m_caption);
    for (const EraseModeRow& row : kEraseModeRows)
        setFont(row.captionId, fonts.m_label);
}

HBRUSH StyleControl(CDC& dc, int id, UINT ctlType, const std::string& text, const DialogFonts& fonts)
{
    if (ctlType == CTLCOLOR_STATIC && IsCardCaption(id)) {
        StyleCaption(dc, fonts.m_caption, kGrey);
        return HollowBrush();
    }
    if (IsEraseCaption(id)) {
        StyleLabelCaption(dc, fonts.m_label, kGrey);
        return HollowBrush();
    }
    if (IsChoiceButton(id)) {
        dc.SetBkColor(kWhite);
        return HollowBrush();
    }
    if (ctlType == CTLCOLOR_STATIC) {
        switch (id) {
        case IDC_DRIVE_CAPTION:
            StyleCaption(dc, fonts.m_caption, kRed);
            return HollowBrush();
        case IDC_DISK_SIZE:
        case IDC_SIZE_CAPTION:
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
    default:
        return nullptr;
    }
}

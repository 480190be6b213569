#include "controls/combo_draw.h"

#include "platform/gdi_object.h"
#include "res/resource.h"

namespace {

// The arrow bitmap (17 x 20) is shown at 19 x 22, two rows below the top,
// flush with the right edge.
constexpr int kArrowWidth = 19;
constexpr int kArrowHeight = 22;
constexpr int kArrowTop = 2;
constexpr COLORREF kBorderColor = RGB(140, 140, 140);

}  // namespace

void CComboDraw::PreSubclassWindow()
{
    // The platform sizes the closed field to the font, which can leave it
    // lower than the arrow picture and cut the arrow's bottom rows.
    // How the field height maps to the client height is the platform's, so
    // the field grows a row at a time until the arrow fits.
    constexpr int kMostRowsAdded = 16;
    RECT client{};
    GetClientRect(&client);
    for (int added = 0; client.bottom < kArrowTop + kArrowHeight && added < kMostRowsAdded; ++added) {
        const LRESULT field = ::SendMessageA(m_hWnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        ::SendMessageA(m_hWnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + 1);
        GetClientRect(&client);
    }
    CComboBox::PreSubclassWindow();
}

void CComboDraw::OnPaint()
{
    CPaintDC dc(*this);
    RECT client{};
    GetClientRect(&client);
    Paint(dc, client);
}

void CComboDraw::Paint(CDC& dc, const RECT& client)
{
    CDC memDC;
    memDC.CreateCompatibleDC(dc);
    CBitmap arrow;
    arrow.LoadBitmap(IDB_COMBO_ARROW);
    BITMAP size{};
    arrow.GetBitmap(&size);
    {
        const CSelectObject selected(memDC, arrow);
        // Rows and columns repeated, not blended: the arrow stays crisp.
        dc.SetStretchBltMode(COLORONCOLOR);
        dc.StretchBlt(client.right - kArrowWidth, client.top + kArrowTop, kArrowWidth, kArrowHeight, memDC, 0, 0,
                      size.bmWidth, size.bmHeight, SRCCOPY);
    }
    CPen pen;
    pen.CreatePen(PS_SOLID, 1, kBorderColor);
    const CSelectObject selectedPen(dc, pen);
    // Filled with the DC's default white brush. The right line falls on the
    // arrow's first column; the bottom line falls one row below the client
    // area, so the field has no visible bottom border.
    dc.Rectangle(client.left, client.top + kArrowTop, client.right - kArrowWidth + 1, client.bottom + 1);
}

#include "controls/gradient_progress_ctrl.h"

#include "controls/gradient_bands.h"
#include "controls/mem_dc.h"
#include "platform/gdi_object.h"

namespace {

BandColor ToBandColor(COLORREF color)
{
    return BandColor{GetRValue(color), GetGValue(color), GetBValue(color)};
}

void FillSolid(CDC& dc, const RECT& rect, COLORREF color)
{
    CBrush brush;
    brush.CreateSolidBrush(color);
    dc.FillRect(&rect, brush);
}

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl() : m_backgroundColor(::GetSysColor(COLOR_BTNFACE)) {}

void CGradientProgressCtrl::SetBarRange(int lower, int upper)
{
    m_lower = lower;
    m_position = lower;
    m_upper = upper;
    SetRange32(lower, upper);
    Invalidate(FALSE);
}

void CGradientProgressCtrl::SetBarPosition(int position)
{
    m_position = position;
    // From the format worker this does not wait for the dialog's thread,
    // which may be busy painting: the erase would stall with it.
    ::SendNotifyMessageA(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    Invalidate(FALSE);
}

BOOL CGradientProgressCtrl::OnEraseBkgnd(CDC&)
{
    // The paint handler covers every pixel.
    return TRUE;
}

void CGradientProgressCtrl::OnPaint()
{
    CPaintDC dc(*this);
    RECT client{};
    GetClientRect(&client);
    Paint(dc, client);
}

void CGradientProgressCtrl::Paint(CDC& dc, const RECT& client)
{
    // One reading of each for the whole picture: the worker may move them.
    const int lower = m_lower;
    const int upper = m_upper;
    const int position = m_position;
    if (!ShowsGradient(lower, upper, position)) {
        FillSolid(dc, client, ::GetSysColor(COLOR_BTNFACE));
        return;
    }
    DrawGradient(dc, client, FilledLength(position, upper, client.right));
    if (!m_showPercent)
        return;
    // On the target itself, after the gradient has been copied there.
    dc.SetTextColor(m_textColor);
    dc.SetBkMode(TRANSPARENT);
    RECT textRect = client;
    dc.DrawText(PercentText(lower, upper, position), &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void CGradientProgressCtrl::DrawGradient(CDC& dc, const RECT& client, int filledLength)
{
    CMemDC memDC(&dc, RECT{});
    const BandPlan fill = PlanGradient(ToBandColor(m_startColor), ToBandColor(m_endColor), client.right, filledLength);
    for (const GradientBand& band : fill.bands) {
        // One row past the bottom, as the bands have always been drawn.
        const RECT rect{band.left, 0, band.right, client.bottom + 1};
        FillSolid(memDC, rect, RGB(band.color.red, band.color.green, band.color.blue));
    }
    if (fill.backgroundLeft < client.right)
        FillSolid(memDC, RECT{fill.backgroundLeft, 0, client.right, client.bottom}, m_backgroundColor);
}

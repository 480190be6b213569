#include "controls/mem_dc.h"

CMemDC::CMemDC(CDC* target, RECT area, Start start) : m_targetDC(target), m_area(area)
{
    CreateCompatibleDC(*target);
    if (m_area.left == 0 && m_area.top == 0 && m_area.right == 0 && m_area.bottom == 0)
        target->GetClipBox(&m_area);
    // Compatible with the target, not with the new memory DC, which holds a
    // one-pixel monochrome bitmap.
    if (Width() >= 0 && Height() >= 0 && m_offscreenBitmap.CreateCompatibleBitmap(*target, Width(), Height()))
        m_previousBitmap = static_cast<HBITMAP>(SelectObject(m_offscreenBitmap));
    SetWindowOrg(m_area.left, m_area.top);
    if (start == Start::TargetPixels && m_previousBitmap != nullptr)
        BitBlt(m_area.left, m_area.top, Width(), Height(), *target, m_area.left, m_area.top, SRCCOPY);
}

CMemDC::~CMemDC()
{
    // Without a buffer the memory DC still holds its monochrome pixel, which
    // must not be spread over the target.
    if (m_previousBitmap == nullptr)
        return;
    m_targetDC->BitBlt(m_area.left, m_area.top, Width(), Height(), *this, m_area.left, m_area.top, SRCCOPY);
    // The buffer leaves the DC before either is deleted.
    SelectObject(m_previousBitmap);
}

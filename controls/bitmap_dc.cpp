#include "controls/bitmap_dc.h"

CBitmapDC::~CBitmapDC()
{
    // The bitmap goes after this body, so it must not be selected by then.
    if (m_previousBitmap != nullptr)
        SelectObject(m_previousBitmap);
}

BOOL CBitmapDC::Create(HDC dc, int width, int height)
{
    if (!CreateCompatibleDC(dc))
        return FALSE;
    if (!m_bitmap.CreateCompatibleBitmap(dc, width, height)) {
        DeleteDC();
        return FALSE;
    }
    m_previousBitmap = SelectObject(m_bitmap);
    return TRUE;
}

#include "platform/bitmap_button.h"

#include "platform/dc.h"

namespace {

BOOL LoadOptional(CBitmap& bitmap, UINT id)
{
    bitmap.DeleteObject();
    return id == 0 || bitmap.LoadBitmap(id);
}

}  // namespace

BOOL CBitmapButton::LoadBitmaps(UINT normal, UINT selected, UINT focus, UINT disabled)
{
    const BOOL loaded = LoadOptional(m_bitmap, normal) && m_bitmap.GetSafeHandle() != nullptr;
    const BOOL optional = LoadOptional(m_bitmapSel, selected) & LoadOptional(m_bitmapFocus, focus) &
                          LoadOptional(m_bitmapDisabled, disabled);
    return loaded && optional;
}

void CBitmapButton::SizeToContent()
{
    BITMAP info{};
    if (m_bitmap.GetBitmap(&info) == 0)
        return;
    SetWindowPos(nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(DRAWITEMSTRUCT* item)
{
    HBITMAP bitmap = m_bitmap;
    if ((item->itemState & ODS_SELECTED) != 0 && m_bitmapSel.GetSafeHandle() != nullptr)
        bitmap = m_bitmapSel;
    else if ((item->itemState & ODS_FOCUS) != 0 && m_bitmapFocus.GetSafeHandle() != nullptr)
        bitmap = m_bitmapFocus;
    else if ((item->itemState & ODS_DISABLED) != 0 && m_bitmapDisabled.GetSafeHandle() != nullptr)
        bitmap = m_bitmapDisabled;
    if (bitmap == nullptr)
        return;

    CDC memory;
    memory.CreateCompatibleDC(item->hDC);
    CSelectObject selected(memory, bitmap);
    const RECT& area = item->rcItem;
    ::BitBlt(item->hDC, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, 0, 0, SRCCOPY);
}

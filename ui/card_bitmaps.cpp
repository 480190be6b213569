#include "ui/card_bitmaps.h"

void CardBitmaps::Load()
{
    for (int i = 0; i < kCount; ++i)
        m_bitmaps[i].LoadBitmap(static_cast<UINT>(kFirstId + i));
}

HBITMAP CardBitmaps::ForResource(int id) const
{
    return m_bitmaps[id - kFirstId];
}

void CardBitmaps::ReleaseForeign(HBITMAP bitmap) const
{
    if (bitmap == nullptr)
        return;
    for (const CBitmap& own : m_bitmaps) {
        if (bitmap == static_cast<HBITMAP>(own))
            return;
    }
    DeleteObject(bitmap);
}

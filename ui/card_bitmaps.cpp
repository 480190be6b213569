#include "ui/card_bitmaps.h"

void CardBitmaps::Load()
{
    auto picture = m_pictures.begin();
    for (const CardTypeRow& row : CardTypes()) {
        for (const int id : {row.plainBitmapId, row.activeBitmapId}) {
            picture->id = id;
            picture->bitmap.LoadBitmap(static_cast<UINT>(id));
            ++picture;
        }
    }
}

HBITMAP CardBitmaps::ForResource(int id) const
{
    for (const Picture& picture : m_pictures) {
        if (picture.id == id)
            return picture.bitmap;
    }
    return nullptr;
}

void CardBitmaps::ReleaseForeign(HBITMAP bitmap) const
{
    if (bitmap == nullptr)
        return;
    for (const Picture& picture : m_pictures) {
        if (bitmap == static_cast<HBITMAP>(picture.bitmap))
            return;
    }
    DeleteObject(bitmap);
}

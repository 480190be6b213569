// The card pictures, loaded once for the dialog's life: the 2-second
// refresh hands these to the picture controls instead of loading new ones.
#pragma once

#include <windows.h>

#include <array>

#include "cards/card_types.h"
#include "platform/gdi_object.h"

class CardBitmaps {
public:
    // Every card type's plain and active picture.
    void Load();
    // One of the card types' picture resource ids; null for any other.
    HBITMAP ForResource(int id) const;
    // Deletes a bitmap that a picture control gave back, unless it is one of these.
    void ReleaseForeign(HBITMAP bitmap) const;

private:
    struct Picture {
        int id = 0;
        CBitmap bitmap;
    };
    std::array<Picture, 2 * kCardTypeCount> m_pictures;
};

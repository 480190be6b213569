// The six card pictures, loaded once for the dialog's life: the 2-second
// refresh hands these to the picture controls instead of loading new ones.
#pragma once

#include <windows.h>

#include "platform/gdi_object.h"

class CardBitmaps {
public:
    void Load();
    // A bitmap resource id from 145 to 150.
    HBITMAP ForResource(int id) const;
    // Deletes a bitmap that a picture control gave back, unless it is one of these.
    void ReleaseForeign(HBITMAP bitmap) const;

private:
    static constexpr int kFirstId = 145;
    static constexpr int kCount = 6;
    CBitmap m_bitmaps[kCount];
};

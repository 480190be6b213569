// CStatic: picture statics.
#pragma once

#include <windows.h>

#include "platform/window.h"

class CStatic : public CWnd {
public:
    // The bitmap shown before, which the caller now owns.
    HBITMAP SetBitmap(HBITMAP bitmap)
    {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
};

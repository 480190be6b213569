// CBitmapButton: an owner-drawn button that shows one of up to four bitmap
// resources by its state.
#pragma once

#include <windows.h>

#include "platform/button.h"
#include "platform/gdi_object.h"

class CBitmapButton : public CButton {
public:
    // Resource ids; 0 = none (the normal bitmap stands in). FALSE when the
    // normal bitmap, or a named one, cannot be loaded.
    BOOL LoadBitmaps(UINT normal, UINT selected = 0, UINT focus = 0, UINT disabled = 0);
    // Sizes the window to the normal bitmap.
    void SizeToContent();

    void DrawItem(DRAWITEMSTRUCT* item) override;

private:
    CBitmap m_bitmap;
    CBitmap m_bitmapSel;
    CBitmap m_bitmapFocus;
    CBitmap m_bitmapDisabled;
};

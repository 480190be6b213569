// CMemDC: an off-screen copy of an area of a target DC. Callers draw into it
// as into the target (the same logical coordinates) and every pixel reaches
// the target at once, in one BitBlt, when it goes out of scope.
#pragma once

#include <windows.h>

#include "platform/dc.h"
#include "platform/gdi_object.h"

class CMemDC : public CDC {
public:
    // What the buffer holds before the caller draws.
    enum class Start {
        Undefined,     // the caller paints the whole area first
        TargetPixels,  // a copy of the target's current pixels
    };

    // An area of all zeros stands for the target's clip box.
    explicit CMemDC(CDC* target, RECT area = RECT{0, 0, 0, 0}, Start start = Start::Undefined);
    ~CMemDC() override;

    const RECT& Area() const { return m_area; }

private:
    int Width() const { return m_area.right - m_area.left; }
    int Height() const { return m_area.bottom - m_area.top; }

    CBitmap m_offscreenBitmap;
    HBITMAP m_previousBitmap = nullptr;  // null also when no buffer could be made
    CDC* m_targetDC;
    RECT m_area;
};

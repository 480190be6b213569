// A memory DC that holds a bitmap of its own for its whole life, selected
// from creation until destruction: the pictures of a skinned control.
#pragma once

#include <windows.h>

#include "platform/dc.h"
#include "platform/gdi_object.h"

class CBitmapDC : public CDC {
public:
    CBitmapDC() = default;
    ~CBitmapDC() override;

    // A DC compatible with `dc` holding a `width` x `height` bitmap compatible
    // with `dc`. FALSE leaves the object without a handle.
    BOOL Create(HDC dc, int width, int height);

private:
    CBitmap m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
};

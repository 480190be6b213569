// Images decoded by GDI+ (flat interface). CGdiPlusBitmap owns one decoded
// bitmap; CGdiPlusBitmapResource decodes it from a resource of the program
// and keeps the bytes the decoder reads from alive as long as the bitmap.
#pragma once

#include <windows.h>

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>

#include <gdiplus.h>

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;
    virtual ~CGdiPlusBitmap();

    // Width and height in pixels; 0 without a bitmap.
    UINT GetWidth() const;
    UINT GetHeight() const;

    Gdiplus::GpBitmap* m_bitmap = nullptr;

protected:
    void DisposeBitmap();
};

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    ~CGdiPlusBitmapResource() override;

    // Empties the object, then decodes resource `id` of `type` from `module`.
    // FALSE leaves the object empty.
    BOOL Load(UINT id, const char* type, HMODULE module);
    void Empty();

    // Movable global block, locked while m_bitmap lives: GDI+ may read the
    // stream behind a bitmap for as long as the bitmap exists.
    HGLOBAL m_buffer = nullptr;

private:
    BOOL Decode(const void* bytes, DWORD size);
};

#include "controls/gdiplus_bitmap.h"

#include <cstring>

using namespace Gdiplus::DllExports;

CGdiPlusBitmap::~CGdiPlusBitmap()
{
    DisposeBitmap();
}

void CGdiPlusBitmap::DisposeBitmap()
{
    if (m_bitmap != nullptr)
        GdipDisposeImage(m_bitmap);
    m_bitmap = nullptr;
}

UINT CGdiPlusBitmap::GetWidth() const
{
    UINT width = 0;
    if (m_bitmap != nullptr)
        GdipGetImageWidth(m_bitmap, &width);
    return width;
}

UINT CGdiPlusBitmap::GetHeight() const
{
    UINT height = 0;
    if (m_bitmap != nullptr)
        GdipGetImageHeight(m_bitmap, &height);
    return height;
}

CGdiPlusBitmapResource::~CGdiPlusBitmapResource()
{
    Empty();
}

void CGdiPlusBitmapResource::Empty()
{
    DisposeBitmap();
    if (m_buffer != nullptr) {
        ::GlobalUnlock(m_buffer);
        ::GlobalFree(m_buffer);
        m_buffer = nullptr;
    }
}

BOOL CGdiPlusBitmapResource::Load(UINT id, const char* type, HMODULE module)
{
    Empty();
    const HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (resource == nullptr)
        return FALSE;
    const DWORD size = ::SizeofResource(module, resource);
    if (size == 0)
        return FALSE;
    const HGLOBAL loaded = ::LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return FALSE;
    m_buffer = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (m_buffer == nullptr)
        return FALSE;
    if (Decode(bytes, size))
        return TRUE;
    ::GlobalFree(m_buffer);
    m_buffer = nullptr;
    return FALSE;
}

// Decodes from a stream over m_buffer. On success the block stays locked;
// on failure it is unlocked and the caller frees it.
BOOL CGdiPlusBitmapResource::Decode(const void* bytes, DWORD size)
{
    void* copy = ::GlobalLock(m_buffer);
    if (copy == nullptr)
        return FALSE;
    std::memcpy(copy, bytes, size);
    IStream* stream = nullptr;
    if (::CreateStreamOnHGlobal(m_buffer, FALSE, &stream) == S_OK) {
        const Gdiplus::GpStatus status = GdipCreateBitmapFromStream(stream, &m_bitmap);
        stream->Release();
        if (m_bitmap != nullptr && status == Gdiplus::Ok)
            return TRUE;
        DisposeBitmap();
    }
    ::GlobalUnlock(m_buffer);
    return FALSE;
}

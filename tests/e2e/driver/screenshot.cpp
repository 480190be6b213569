#include "screenshot.h"

#include <fstream>

namespace {

BITMAPINFOHEADER HeaderOf(const ScreenPicture& picture)
{
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = picture.width;
    info.biHeight = picture.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    return info;
}

}  // namespace

ScreenPicture CaptureScreenArea(const RECT& area)
{
    ScreenPicture picture;
    picture.width = area.right - area.left;
    picture.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info = HeaderOf(picture);
    const DWORD stride = (static_cast<DWORD>(picture.width) * 3 + 3) & ~3u;
    picture.pixels.resize(static_cast<size_t>(stride) * static_cast<size_t>(picture.height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(picture.height), picture.pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

bool SaveAsBitmap(const std::string& path, const ScreenPicture& picture)
{
    const BITMAPINFOHEADER info = HeaderOf(picture);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(picture.pixels.size());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(picture.pixels.data(), static_cast<std::streamsize>(picture.pixels.size()));
    return static_cast<bool>(out);
}

bool SaveScreenAsBitmap(const std::string& path)
{
    return SaveAsBitmap(path,
                        CaptureScreenArea(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
}

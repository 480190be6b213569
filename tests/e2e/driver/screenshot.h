// Pictures of the screen as 24-bit BMPs: the whole screen for a person to
// look at, one window's area for comparing it with its reference picture.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ScreenPicture {
    int width = 0;
    int height = 0;
    std::vector<char> pixels;  // bottom-up rows of 24-bit pixels, each padded to 4 bytes
};

// The part of the screen inside `area` (screen coordinates).
ScreenPicture CaptureScreenArea(const RECT& area);
bool SaveAsBitmap(const std::string& path, const ScreenPicture& picture);
bool SaveScreenAsBitmap(const std::string& path);

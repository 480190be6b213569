// A picture of the whole screen as a 24-bit BMP, for a person to look at.
#pragma once

#include <windows.h>

#include <string>

bool SaveScreenAsBitmap(const std::string& path);
// The part of the screen inside `area` (screen coordinates), for comparing
// one window with its reference picture.
bool SaveScreenAreaAsBitmap(const std::string& path, const RECT& area);

// A picture of the whole screen as a 24-bit BMP, for a person to look at.
#pragma once

#include <string>

bool SaveScreenAsBitmap(const std::string& path);

#include "platform/string_resource.h"

#include <windows.h>

#include "platform/win_app.h"

std::string LoadResourceString(unsigned id)
{
    char text[512] = {};
    const int length = LoadStringA(AfxGetInstanceHandle(), id, text, sizeof text);
    return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
}

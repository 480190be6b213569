#include "platform/message_box.h"

#include "platform/string_resource.h"
#include "platform/win_app.h"
#include "platform/window.h"

namespace {
// A box without an icon of its own gets the one its buttons suggest.
UINT WithDefaultIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0)
        return type;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
        return type | MB_ICONEXCLAMATION;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return type | MB_ICONQUESTION;
    default:
        return type;
    }
}
}  // namespace

int AfxMessageBox(const char* text, UINT type)
{
    type = WithDefaultIcon(type);
    CWinApp* app = AfxGetApp();
    HWND owner = nullptr;
    if (app != nullptr && app->m_pMainWnd != nullptr)
        owner = app->m_pMainWnd->m_hWnd;
    const char* caption = app != nullptr ? app->AppName() : "";
    return MessageBoxA(owner, text, caption, type);
}

int AfxMessageBox(UINT stringId, UINT type)
{
    return AfxMessageBox(LoadResourceString(stringId).c_str(), type);
}

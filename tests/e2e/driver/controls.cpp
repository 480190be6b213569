#include "controls.h"

#include <string>

#include <commctrl.h>

RECT RectInDialog(HWND dialog, HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE ClientSize(HWND control)
{
    RECT client = {};
    GetClientRect(control, &client);
    return {client.right, client.bottom};
}

bool IsChecked(HWND button)
{
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ClickButton(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

void SetText(HWND control, const std::string& text)
{
    // Scripts are UTF-8: a label in any script reaches the control as typed.
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), units);
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::vector<std::string> ComboEntries(HWND combo)
{
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.emplace_back(text);
    }
    return entries;
}

std::optional<LRESULT> ComboSelection(HWND combo)
{
    const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR)
        return std::nullopt;
    return selected;
}

bool PickComboEntry(HWND combo, const std::string& text)
{
    const std::vector<std::string> entries = ComboEntries(combo);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == text) {
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            // A program's own CB_SETCURSEL sends no notification; a user's pick does.
            SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            return true;
        }
    }
    return false;
}

LRESULT ProgressPosition(HWND bar)
{
    return SendMessageA(bar, PBM_GETPOS, 0, 0);
}

LRESULT ProgressUpper(HWND bar)
{
    return SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
}

unsigned long long PixelFingerprint(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    // FNV-1a over every other pixel of every other row.
    HDC screen = GetDC(nullptr);
    unsigned long long hash = 1469598103934665603ull;
    for (LONG y = rect.top; y < rect.bottom; y += 2) {
        for (LONG x = rect.left; x < rect.right; x += 2) {
            hash ^= GetPixel(screen, x, y);
            hash *= 1099511628211ull;
        }
    }
    ReleaseDC(nullptr, screen);
    return hash;
}

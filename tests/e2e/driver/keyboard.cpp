#include "keyboard.h"

namespace {

struct KeyStroke {
    const char* name;
    WORD virtualKey;
    WORD scanCode;
    bool extended;
};

// Scan codes matter: the program names keys with GetKeyNameText.
constexpr KeyStroke kKeys[] = {
    {"return", VK_RETURN, 0x1C, false},   {"kpenter", VK_RETURN, 0x1C, true}, {"escape", VK_ESCAPE, 0x01, false},
    {"tab", VK_TAB, 0x0F, false},         {"space", VK_SPACE, 0x39, false},   {"a", 'A', 0x1E, false},
    {"execute", VK_EXECUTE, 0x00, false},
};

GUITHREADINFO ThreadInput(DWORD threadId)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(threadId, &info);
    return info;
}

}  // namespace

HWND FocusedWindow(DWORD threadId)
{
    return ThreadInput(threadId).hwndFocus;
}

HWND KeyboardTarget(DWORD threadId)
{
    const GUITHREADINFO info = ThreadInput(threadId);
    return info.hwndFocus != nullptr ? info.hwndFocus : info.hwndActive;
}

bool PostKey(HWND target, const std::string& name)
{
    if (name == "altf4") {
        // Alt held: context bit 29; the system turns it into SC_CLOSE.
        PostMessageA(target, WM_SYSKEYDOWN, VK_F4, 1 | (0x3E << 16) | (1 << 29));
        PostMessageA(target, WM_SYSKEYUP, VK_F4, 1 | (0x3E << 16) | (1 << 29) | (3u << 30));
        return true;
    }
    for (const KeyStroke& key : kKeys) {
        if (name == key.name) {
            const LPARAM down = 1 | (key.scanCode << 16) | (key.extended ? 1 << 24 : 0);
            PostMessageA(target, WM_KEYDOWN, key.virtualKey, down);
            PostMessageA(target, WM_KEYUP, key.virtualKey, down | (3u << 30));
            return true;
        }
    }
    return false;
}

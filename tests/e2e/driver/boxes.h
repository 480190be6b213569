// The program's message boxes and About box, read and answered as a user
// would.
#pragma once

#include <windows.h>

#include <string>

// The static control that holds a message box's text.
inline constexpr int kMessageBoxTextId = 0xFFFF;

struct MessageBoxContents {
    std::string caption;
    std::string text;
    // The visible buttons' captions, comma-separated, in OK, Cancel, Yes, No order.
    std::string buttons;
};

struct AboutBoxContents {
    std::string caption;
    std::string version;
    std::string notice;
};

MessageBoxContents ReadMessageBox(HWND box);
AboutBoxContents ReadAboutBox(HWND about);
// Clicks the box's button with `buttonId` (IDOK, IDYES...); false when the
// box has no such button.
bool PressBoxButton(HWND box, int buttonId);

// Keys as the keyboard would deliver them to the program's focused window.
#pragma once

#include <windows.h>

#include <string>

// The window of the program's thread that has the keyboard focus, or nothing.
HWND FocusedWindow(DWORD threadId);
// Where a key press goes: the focused window, else the active one.
HWND KeyboardTarget(DWORD threadId);
// Posts the press and release of the key called `name` ("return", "tab",
// "altf4"...); false when no key has that name.
bool PostKey(HWND target, const std::string& name);

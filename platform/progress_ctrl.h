// CProgressCtrl: a progress bar of the program's own window class. It keeps
// its range and position and answers the platform bar's messages (so readers
// of the bar, such as test drivers, ask it as they would the system's), but
// it draws nothing of its own: the program paints the bar it shows, and
// needs no common-controls library loaded at start-up for one class.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "platform/window.h"

class CProgressCtrl : public CWnd {
public:
    // The class name dialog templates use.
    static constexpr char kClassName[] = "VeltraneProgressBar";
    // Registers the class for `instance`; true if it is registered now.
    static bool RegisterWindowClass(HINSTANCE instance);

    void SetRange32(int lower, int upper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

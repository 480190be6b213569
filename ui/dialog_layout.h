// Where the main dialog's controls sit, in pixels of the client area. The
// window is sized in pixels too, so the skin lines up whatever the screen's
// dialog-unit scaling.
#pragma once

#include <span>

inline constexpr int kDialogWidthPixels = 485;
inline constexpr int kDialogHeightPixels = 403;

struct ControlPlace {
    int id;
    int x;
    int y;
    int width;  // 0 with height 0: the control keeps its template size
    int height;
};

// In the order the dialog places them.
std::span<const ControlPlace> MainDialogLayout();

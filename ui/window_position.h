// Where the window goes: the launcher's position, unless the whole window
// would be off every screen. The window has no caption, so a user could not
// drag it back.
#pragma once

struct ScreenArea {
    int left;
    int top;
    int width;
    int height;
};

struct WindowPosition {
    int left;
    int top;
    bool operator==(const WindowPosition&) const = default;
};

// The requested position when any part of the window is on the virtual
// screen; else the nearest position where the whole window is (its top left
// corner on the screen's when the window is larger than the screen).
WindowPosition VisibleWindowPosition(WindowPosition requested, int width, int height, ScreenArea screen);

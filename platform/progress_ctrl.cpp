#include "platform/progress_ctrl.h"

#include <algorithm>

namespace {

// The window's own bytes: the range, then the position.
constexpr int kLowerOffset = 0;
constexpr int kUpperOffset = sizeof(LONG);
constexpr int kPositionOffset = 2 * sizeof(LONG);
constexpr int kExtraBytes = 3 * sizeof(LONG);
constexpr LONG kDefaultUpper = 100;

LONG Stored(HWND window, int offset)
{
    return ::GetWindowLongA(window, offset);
}

// Returns the old range packed as PBM_SETRANGE does; the position is kept inside the range.
LRESULT SetRange(HWND window, LONG lower, LONG upper)
{
    const LRESULT old = MAKELONG(Stored(window, kLowerOffset), Stored(window, kUpperOffset));
    ::SetWindowLongA(window, kLowerOffset, lower);
    ::SetWindowLongA(window, kUpperOffset, upper);
    ::SetWindowLongA(window, kPositionOffset,
                     std::clamp(Stored(window, kPositionOffset), lower, std::max(lower, upper)));
    return old;
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        ::SetWindowLongA(window, kUpperOffset, kDefaultUpper);
        break;
    case PBM_SETRANGE:
        return SetRange(window, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32:
        return SetRange(window, static_cast<LONG>(wParam), static_cast<LONG>(lParam));
    case PBM_GETRANGE: {
        const LONG lower = Stored(window, kLowerOffset);
        const LONG upper = Stored(window, kUpperOffset);
        if (auto* range = reinterpret_cast<PBRANGE*>(lParam))
            *range = PBRANGE{lower, upper};
        return wParam ? lower : upper;
    }
    case PBM_SETPOS: {
        const LONG lower = Stored(window, kLowerOffset);
        const LONG position =
            std::clamp(static_cast<LONG>(wParam), lower, std::max(lower, Stored(window, kUpperOffset)));
        return ::SetWindowLongA(window, kPositionOffset, position);
    }
    case PBM_GETPOS:
        return Stored(window, kPositionOffset);
    default:
        break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool CProgressCtrl::RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &ProgressProc;
    windowClass.cbWndExtra = kExtraBytes;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

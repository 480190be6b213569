// The yardstick of the start-up benchmark: the least a Win32 program does to
// put a dialog on the screen. Its button carries the Start button's id, so
// the end-to-end driver finds it as it finds Veltrane's dialog.
#include <windows.h>

#include "minimal_dialog.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == kStartButtonId)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(kMinimalDialogId), nullptr, DialogProc, 0));
}

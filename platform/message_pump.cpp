#include "platform/message_pump.h"

#include <windows.h>

int PumpPendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            PostQuitMessage(0);
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

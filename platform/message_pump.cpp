#include "platform/message_pump.h"

#include <windows.h>

int PumpPendingMessages()
{
    MSG message;
    // Without PM_NOYIELD an empty queue hands the processor away at every
    // erase write.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            PostQuitMessage(0);
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

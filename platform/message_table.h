// A window class's message table: plain rows that bind a message, or a
// control id with a notification code, to a member handler. Each class's
// table points at its base class's table; dispatch walks from the most
// derived table to CWnd's and then to default processing.
#pragma once

#include <windows.h>

#include <cstddef>

class CWnd;

// Messages that a parent reflects to the control that sent them, so that the
// control's own table answers them (owner drawing, control colours). Same
// offset as the OLE control convention.
inline constexpr UINT kReflectBase = WM_USER + 0x1c00;
constexpr UINT Reflected(UINT message)
{
    return kReflectBase + message;
}

struct MessageEntry {
    UINT firstMessage;  // a range, for message families such as WM_CTLCOLOR*
    UINT lastMessage;
    bool byControl;  // WM_COMMAND rows: match the control and notifyCode too
    UINT controlId;
    UINT notifyCode;
    LRESULT (*call)(CWnd& window, UINT message, WPARAM wParam, LPARAM lParam);

    bool Matches(UINT message, WPARAM wParam) const
    {
        if (message < firstMessage || message > lastMessage)
            return false;
        return !byControl || (LOWORD(wParam) == controlId && HIWORD(wParam) == notifyCode);
    }
};

struct MessageTable {
    const MessageEntry* rows;
    std::size_t count;
    const MessageTable& (*base)();  // nullptr for CWnd, the root

    const MessageEntry* Find(UINT message, WPARAM wParam) const
    {
        for (std::size_t i = 0; i < count; ++i)
            if (rows[i].Matches(message, wParam))
                return &rows[i];
        return base != nullptr ? base().Find(message, wParam) : nullptr;
    }
};

template <std::size_t N>
constexpr MessageTable MakeMessageTable(const MessageEntry (&rows)[N], const MessageTable& (*base)())
{
    return MessageTable{rows, N, base};
}

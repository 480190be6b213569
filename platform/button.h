// CButton: the base of the program's owner-drawn buttons. Each draws itself
// in DrawItem, which its parent's WM_DRAWITEM reaches by reflection.
#pragma once

#include <windows.h>

#include "platform/message_rows.h"
#include "platform/window.h"

class CButton : public CWnd {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<Reflected(WM_DRAWITEM), &CButton::DrawItem>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    // Owner-drawn buttons only; the base draws nothing.
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
};

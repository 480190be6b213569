// CButton: push buttons, check boxes and radio buttons. An owner-drawn
// button draws itself in DrawItem, which its parent's WM_DRAWITEM reaches by
// reflection.
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

    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    void Click() { SendMessage(BM_CLICK); }

    // Owner-drawn buttons only; the base draws nothing.
    virtual void DrawItem(DRAWITEMSTRUCT*) {}
};

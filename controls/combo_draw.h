// CComboDraw: the drive combo box in the skin's look. Its paint handler draws
// a white field with a thin grey border and the arrow bitmap at the right end
// in place of the platform's frame and drop-down button; the list, the
// selection and the edit field stay the platform's.
#pragma once

#include <windows.h>

#include "platform/combo_box.h"
#include "platform/dc.h"
#include "platform/message_rows.h"

class CComboDraw : public CComboBox {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_PAINT, &CComboDraw::OnPaint>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    // Makes the closed field tall enough for the whole arrow picture.
    void PreSubclassWindow() override;
    void OnPaint();
    // Draws the field, border and arrow into `dc` over `client` (left and top 0).
    static void Paint(CDC& dc, const RECT& client);
};

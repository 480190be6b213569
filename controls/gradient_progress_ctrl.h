// CGradientProgressCtrl: a progress bar that keeps its range and position in
// the bar window underneath (CProgressCtrl) and paints itself: solid
// colour bands from the left edge to the position, the background colour
// beyond, and optionally the percentage in the middle.
#pragma once

#include <windows.h>

#include <atomic>

#include "platform/dc.h"
#include "platform/message_rows.h"
#include "platform/progress_ctrl.h"

class CGradientProgressCtrl : public CProgressCtrl {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_PAINT, &CGradientProgressCtrl::OnPaint>(),
            MessageRow<WM_ERASEBKGND, &CGradientProgressCtrl::OnEraseBkgnd>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    CGradientProgressCtrl();

    // Both may be called from the format worker: they write the members, then
    // send the control message; the range waits until the dialog's thread has
    // handled it, the position does not. Every change repaints the whole bar,
    // so the centred text is never left half drawn.
    void SetBarRange(int lower, int upper);
    void SetBarPosition(int position);

    void OnPaint();
    BOOL OnEraseBkgnd(CDC& dc);
    // Draws the whole bar into `dc` over `client` (left and top 0).
    void Paint(CDC& dc, const RECT& client);

    // Written by the format worker, read by the dialog's thread as it paints.
    std::atomic<int> m_lower = 0;
    std::atomic<int> m_upper = 100;
    std::atomic<int> m_position = 0;
    COLORREF m_startColor = RGB(255, 0, 0);
    COLORREF m_endColor = RGB(0, 0, 255);
    COLORREF m_backgroundColor;
    COLORREF m_textColor = RGB(255, 255, 255);
    BOOL m_showPercent = FALSE;

private:
    void DrawGradient(CDC& dc, const RECT& client, int filledLength);
};

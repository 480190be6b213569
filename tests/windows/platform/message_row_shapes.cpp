// Built by ctest, one case at a time (ROW_CASE): case 0 binds every shape to
// a message it fits and must build; each other case binds one handler to a
// message it does not fit and must fail with the row makers' own message.
#include "platform/message_rows.h"

namespace {

class CShapes : public CWnd {
public:
    int OnCreate(CREATESTRUCT*) { return 0; }
    void OnDestroy() {}
    BOOL OnEraseBkgnd(CDC&) { return TRUE; }
    HCURSOR OnQueryDragIcon() { return nullptr; }
    void OnSysCommand(UINT, LPARAM) {}
    void OnTimer(UINT_PTR) {}
    void OnMouseMove(UINT, POINT) {}
    void OnDrawItem(int, DRAWITEMSTRUCT*) {}
    void DrawItem(DRAWITEMSTRUCT*) {}
    HBRUSH OnCtlColor(CDC&, CWnd&, UINT) { return nullptr; }
    HBRUSH CtlColor(CDC&, UINT) { return nullptr; }
    LRESULT OnMessage(WPARAM, LPARAM) { return 0; }
    void OnSize(UINT, int, int) {}
};

#if ROW_CASE == 0
constexpr MessageEntry rows[] = {
    MessageRow<WM_CREATE, &CShapes::OnCreate>(),
    MessageRow<WM_DESTROY, &CShapes::OnDestroy>(),
    MessageRow<WM_PAINT, &CShapes::OnDestroy>(),
    MessageRow<WM_APP + 1, &CShapes::OnDestroy>(),
    MessageRow<WM_ERASEBKGND, &CShapes::OnEraseBkgnd>(),
    MessageRow<WM_QUERYDRAGICON, &CShapes::OnQueryDragIcon>(),
    MessageRow<WM_SYSCOMMAND, &CShapes::OnSysCommand>(),
    MessageRow<WM_TIMER, &CShapes::OnTimer>(),
    MessageRow<WM_MOUSEMOVE, &CShapes::OnMouseMove>(),
    MessageRow<WM_LBUTTONDOWN, &CShapes::OnMouseMove>(),
    MessageRow<WM_MOUSEHOVER, &CShapes::OnMouseMove>(),
    MessageRow<WM_DRAWITEM, &CShapes::OnDrawItem>(),
    MessageRow<Reflected(WM_DRAWITEM), &CShapes::DrawItem>(),
    MessageRow<WM_INITDIALOG, &CShapes::OnMessage>(),
    CommandRow<1, BN_CLICKED, &CShapes::OnDestroy>(),
    CtlColorRow<&CShapes::OnCtlColor>(),
    ReflectedCtlColorRow<&CShapes::CtlColor>(),
};
#elif ROW_CASE == 1
constexpr MessageEntry rows[] = {MessageRow<WM_TIMER, &CShapes::OnCreate>()};
#elif ROW_CASE == 2
// WM_SIZE has parameters; a handler that takes none would silently drop them.
constexpr MessageEntry rows[] = {MessageRow<WM_SIZE, &CShapes::OnDestroy>()};
#elif ROW_CASE == 3
// A reflected message carries the system's parameters, not the program's.
constexpr MessageEntry rows[] = {MessageRow<Reflected(WM_DRAWITEM), &CShapes::OnDestroy>()};
#elif ROW_CASE == 4
constexpr MessageEntry rows[] = {MessageRow<Reflected(WM_DRAWITEM), &CShapes::OnDrawItem>()};
#elif ROW_CASE == 5
constexpr MessageEntry rows[] = {CtlColorRow<&CShapes::CtlColor>()};
#elif ROW_CASE == 6
constexpr MessageEntry rows[] = {MessageRow<WM_SIZE, &CShapes::OnSize>()};
#elif ROW_CASE == 7
constexpr MessageEntry rows[] = {CommandRow<1, BN_CLICKED, &CShapes::OnTimer>()};
#endif

}  // namespace

const MessageTable& ShapesTable()
{
    static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
    return table;
}

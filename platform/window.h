// CWnd: a window handle and the Win32 operations the program performs on it,
// one message or one call each, named after the operation. A CWnd that
// subclasses a window receives its messages: WindowProc first, then the
// class's message table (RunTableOrDefault), then default processing.
#pragma once

#include <windows.h>

#include <string>

#include "platform/message_table.h"

class CDC;

class CWnd {
public:
    CWnd() = default;
    // A view of a window that this object does not subclass.
    explicit CWnd(HWND window) : m_hWnd(window) {}
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    operator HWND() const { return m_hWnd; }

    // The object subclassing this window, if any.
    static CWnd* FromHandlePermanent(HWND window);
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
    void SetDlgItemText(int id, const std::string& text) { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); }
    std::string GetDlgItemText(int id) const;
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL RedrawWindow(const RECT* rect = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    {
        return ::RedrawWindow(m_hWnd, rect, region, flags);
    }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, width, height, flags);
    }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    // Both corners of a screen rectangle into client coordinates.
    void ScreenToClient(RECT* rect) const { ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
    }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HICON SetIcon(HICON icon, BOOL big)
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    // Changes the style; with swpFlags, also lets the frame catch up (SetWindowPos).
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);

    // Dispatch. WindowProc sees every message first; the base passes it on
    // to RunTableOrDefault, which runs the message table and, for messages
    // no row takes, default processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT RunTableOrDefault(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message now being handled.
    LRESULT Default();
    // Consulted for messages taken from a modal dialog's queue before they
    // are translated and dispatched; TRUE swallows the message. It is asked
    // of the target window and then of each parent up to the dialog.
    virtual BOOL PreTranslateMessage(MSG* message);
    // Runs when a window is about to be subclassed; m_hWnd is already set.
    virtual void PreSubclassWindow() {}

    // Runs the table alone; FALSE when no row takes the message.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    static const MessageTable& Table();
    virtual const MessageTable& GetMessageTable() const { return Table(); }

    // Base handling of the control-colour family and of WM_DRAWITEM: the
    // request goes to the control's own object; when that object has no row
    // for it, to default processing.
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT ctlType);
    void OnDrawItem(int controlId, DRAWITEMSTRUCT* item);

    HWND m_hWnd = nullptr;

protected:
    // Binds this object to a window whose messages already come through
    // StaticWindowProc (the dialog's creation hook uses it).
    void Bind(HWND window, WNDPROC superProc);
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Unbind();

    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
    WNDPROC m_superProc = nullptr;
};

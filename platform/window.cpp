#include "platform/window.h"

#include "platform/message_rows.h"

namespace {

// The window property that leads from a handle to the object subclassing it.
constexpr const char* kObjectProperty = "Veltrane.CWnd";

// Puts back the message being dispatched when a nested dispatch ends.
template <class Slot>
class RestoreOnExit {
public:
    explicit RestoreOnExit(Slot& slot) : m_slot(slot), m_saved(slot) {}
    ~RestoreOnExit() { m_slot = m_saved; }
    RestoreOnExit(const RestoreOnExit&) = delete;
    RestoreOnExit& operator=(const RestoreOnExit&) = delete;

private:
    Slot& m_slot;
    Slot m_saved;
};

}  // namespace

CWnd::~CWnd()
{
    if (m_superProc != nullptr && m_hWnd != nullptr)
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    return window != nullptr ? static_cast<CWnd*>(::GetPropA(window, kObjectProperty)) : nullptr;
}

void CWnd::Bind(HWND window, WNDPROC superProc)
{
    m_hWnd = window;
    m_superProc = superProc;
    ::SetPropA(window, kObjectProperty, this);
}

void CWnd::Unbind()
{
    ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_superProc = nullptr;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    if (window == nullptr || m_hWnd != nullptr || FromHandlePermanent(window) != nullptr)
        return FALSE;
    m_hWnd = window;
    PreSubclassWindow();
    const auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
    if (previous == nullptr) {
        m_hWnd = nullptr;
        return FALSE;
    }
    Bind(window, previous);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    const HWND window = m_hWnd;
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    Unbind();
    return window;
}

std::string CWnd::GetWindowText() const
{
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(m_hWnd)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string CWnd::GetDlgItemText(int id) const
{
    return CWnd(GetDlgItem(id)).GetWindowText();
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags)
{
    const DWORD style = GetStyle();
    const DWORD changed = (style & ~remove) | add;
    if (changed == style)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (swpFlags != 0)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunTableOrDefault(message, wParam, lParam);
}

LRESULT CWnd::RunTableOrDefault(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    RestoreOnExit restore(m_current);
    m_current = {message, wParam, lParam};
    return Default();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const MessageEntry* row = GetMessageTable().Find(message, wParam);
    if (row == nullptr)
        return FALSE;
    RestoreOnExit restore(m_current);
    m_current = {message, wParam, lParam};
    *result = row->call(*this, message, wParam, lParam);
    return TRUE;
}

LRESULT CWnd::Default()
{
    if (m_superProc == nullptr)
        return ::DefWindowProcA(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
    return ::CallWindowProcA(m_superProc, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

HBRUSH CWnd::OnCtlColor(CDC&, CWnd& control, UINT)
{
    CWnd* object = FromHandlePermanent(control.m_hWnd);
    LRESULT brush = 0;
    if (object != nullptr && object->OnWndMsg(Reflected(m_current.message), m_current.wParam, m_current.lParam, &brush))
        return reinterpret_cast<HBRUSH>(brush);
    return reinterpret_cast<HBRUSH>(Default());
}

void CWnd::OnDrawItem(int, DRAWITEMSTRUCT* item)
{
    CWnd* object = item->CtlType != ODT_MENU ? FromHandlePermanent(item->hwndItem) : nullptr;
    LRESULT drawn = 0;
    if (object == nullptr || !object->OnWndMsg(Reflected(WM_DRAWITEM), m_current.wParam, m_current.lParam, &drawn))
        Default();
}

const MessageTable& CWnd::Table()
{
    static constexpr MessageEntry rows[] = {
        CtlColorRow<&CWnd::OnCtlColor>(),
        MessageRow<WM_DRAWITEM, &CWnd::OnDrawItem>(),
    };
    static constexpr MessageTable table = MakeMessageTable(rows, nullptr);
    return table;
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* object = FromHandlePermanent(window);
    if (object == nullptr)
        return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    // An exception must not unwind through the system's frames.
    try {
        result = object->WindowProc(message, wParam, lParam);
    } catch (...) {
        result = 0;
    }
    if (message == WM_NCDESTROY)
        object->Unbind();
    return result;
}

#include "platform/dialog.h"

#include "platform/data_exchange.h"

#include <utility>

// How a modal dialog reaches its object, and why not through the dialog
// procedure alone: the system sets the dialog procedure only after the
// window exists, so a dialog procedure never sees WM_CREATE. DoModal
// therefore arms a WH_CBT hook that subclasses the dialog window the moment
// it is created (before WM_NCCREATE), which lets OnCreate run first, with
// default creation available through Default() and -1 failing DoModal.
//
// DialogBoxParamA runs its own message loop; a WH_GETMESSAGE hook on the
// thread lets PreTranslateMessage see each message that loop takes, before
// IsDialogMessage (Tab, arrows, Enter and Escape) and dispatch. A swallowed
// message is turned into WM_NULL.
namespace {

// The dialog whose window is about to be created on this thread.
thread_local CDialog* t_creating = nullptr;
// The message hook is shared by nested modal dialogs on a thread.
thread_local HHOOK t_messageHook = nullptr;
thread_local int t_modalDepth = 0;

constexpr ATOM kDialogClassAtom = 32770;  // "#32770"

bool PreTranslateTree(MSG* message)
{
    for (HWND window = message->hwnd; window != nullptr; window = ::GetParent(window)) {
        CWnd* object = CWnd::FromHandlePermanent(window);
        if (object != nullptr && object->PreTranslateMessage(message))
            return true;
        if ((::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0)
            break;
    }
    return false;
}

// The creation hook catches one window and then goes: while armed, every
// window created, focused or activated on the thread calls it (under Wine,
// round trips to the server).
thread_local HHOOK t_creationHook = nullptr;

class CreationHookScope {
public:
    CreationHookScope(HOOKPROC hook, CDialog* dialog) : m_savedDialog(t_creating), m_savedHook(t_creationHook)
    {
        t_creating = dialog;
        t_creationHook = ::SetWindowsHookExA(WH_CBT, hook, nullptr, ::GetCurrentThreadId());
    }
    ~CreationHookScope()
    {
        if (t_creationHook != nullptr)
            ::UnhookWindowsHookEx(t_creationHook);
        t_creating = m_savedDialog;
        t_creationHook = m_savedHook;
    }
    CreationHookScope(const CreationHookScope&) = delete;
    CreationHookScope& operator=(const CreationHookScope&) = delete;

private:
    CDialog* m_savedDialog;
    HHOOK m_savedHook;
};

class MessageHookScope {
public:
    explicit MessageHookScope(HOOKPROC hook)
    {
        if (t_modalDepth++ == 0)
            t_messageHook = ::SetWindowsHookExA(WH_GETMESSAGE, hook, nullptr, ::GetCurrentThreadId());
    }
    ~MessageHookScope()
    {
        if (--t_modalDepth == 0) {
            ::UnhookWindowsHookEx(t_messageHook);
            t_messageHook = nullptr;
        }
    }
    MessageHookScope(const MessageHookScope&) = delete;
    MessageHookScope& operator=(const MessageHookScope&) = delete;
};

}  // namespace

const MessageTable& CDialog::Table()
{
    static constexpr MessageEntry rows[] = {
        MessageRow<WM_INITDIALOG, &CDialog::HandleInitDialog>(),
        CommandRow<IDOK, BN_CLICKED, &CDialog::HandleOK>(),
        CommandRow<IDCANCEL, BN_CLICKED, &CDialog::HandleCancel>(),
    };
    static constexpr MessageTable table = MakeMessageTable(rows, &CWnd::Table);
    return table;
}

INT_PTR CDialog::DoModal()
{
    const HWND owner = m_parent != nullptr ? m_parent->m_hWnd : ::GetActiveWindow();
    MessageHookScope messages(&MessageHook);
    CreationHookScope creation(&CreationHook, this);
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner, &StaticDialogProc,
                             reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange&) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate != FALSE);
    DoDataExchange(dx);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM)
{
    return OnInitDialog();
}

LRESULT CALLBACK CDialog::CreationHook(int code, WPARAM wParam, LPARAM lParam)
{
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && t_creating != nullptr && ::GetClassLongPtrA(window, GCW_ATOM) == kDialogClassAtom) {
        const auto previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
        t_creating->Bind(window, previous);
        t_creating = nullptr;
        ::UnhookWindowsHookEx(std::exchange(t_creationHook, nullptr));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Messages reach the dialog's object through the subclassed window
// procedure, so this dialog procedure leaves everything to the system. Only
// a template that names its own window class escapes the creation hook; such
// a dialog is bound here, from the init parameter, and has no OnCreate.
INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG || CWnd::FromHandlePermanent(window) != nullptr)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    try {
        if (!dialog->SubclassWindow(window))
            return FALSE;
    } catch (...) {
        return FALSE;
    }
    return dialog->SendMessage(WM_INITDIALOG, wParam, lParam);
}

LRESULT CALLBACK CDialog::MessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        bool swallowed = false;
        try {
            swallowed = PreTranslateTree(message);
        } catch (...) {
            swallowed = false;
        }
        if (swallowed) {
            message->message = WM_NULL;
            message->wParam = 0;
            message->lParam = 0;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

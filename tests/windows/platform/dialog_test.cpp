// Modal dialogs from a template: data exchange in both directions, ending
// with EndDialog, and PreTranslateMessage ahead of the dialog's own keyboard
// handling, which must otherwise stay intact.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/data_exchange.h"
#include "platform/dialog.h"
#include "test_resource.h"

namespace {

constexpr UINT kFinish = WM_APP + 10;
constexpr int kFinished = 77;

// Records which objects were asked about a key before dispatch.
class CKeyEdit : public CWnd {
public:
    BOOL PreTranslateMessage(MSG* message) override
    {
        if (message->message == WM_KEYDOWN)
            asked->push_back("edit");
        return FALSE;
    }
    std::vector<std::string>* asked = nullptr;
};

class CScriptDlg : public CDialog {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<kFinish, &CScriptDlg::OnFinish>(),
            MessageRow<WM_DESTROY, &CScriptDlg::OnDestroy>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CDialog::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    CScriptDlg() : CDialog(IDD_TEST) { m_edit.asked = &asked; }

    void DoDataExchange(CDataExchange& dx) override
    {
        DDX_Control(dx, IDC_TEXT, m_edit);
        DDX_Text(dx, IDC_TEXT, m_text);
    }

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        textAtInit = GetDlgItemText(IDC_TEXT);
        if (script)
            script(*this);
        return TRUE;
    }

    BOOL PreTranslateMessage(MSG* message) override
    {
        if (message->message != WM_KEYDOWN)
            return CDialog::PreTranslateMessage(message);
        asked.push_back("dialog");
        return message->wParam == swallowedKey;
    }

    std::string m_text;
    std::string textAtInit;
    std::function<void(CScriptDlg&)> script;
    WPARAM swallowedKey = 0;
    std::vector<std::string> asked;
    int focusAtFinish = 0;
    bool destroyed = false;
    CKeyEdit m_edit;

private:
    void OnFinish()
    {
        focusAtFinish = ::GetDlgCtrlID(::GetFocus());
        EndDialog(kFinished);
    }
    void OnDestroy()
    {
        destroyed = true;
        Default();
    }
};

TEST(Dialog, TextExchangeFillsTheControlAndReadsItBackOnOK)
{
    CScriptDlg dialog;
    dialog.m_text = "BREVALD";
    dialog.script = [](CScriptDlg& live) {
        live.SetDlgItemText(IDC_TEXT, "typed label");
        live.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(live.GetDlgItem(IDOK)));
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.textAtInit, "BREVALD");
    EXPECT_EQ(dialog.m_text, "typed label");
}

TEST(Dialog, EndDialogFromAHandlerEndsTheModalRunAndDestroysTheWindow)
{
    CScriptDlg dialog;
    dialog.script = [](CScriptDlg& live) { live.PostMessage(kFinish); };
    EXPECT_EQ(dialog.DoModal(), kFinished);
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.m_edit.m_hWnd, nullptr);
}

// Presses `key` in the edit control; the dialog ends with kFinished unless
// its own keyboard handling ended it first.
INT_PTR PressKey(CScriptDlg& dialog, WPARAM key)
{
    dialog.script = [key](CScriptDlg& live) {
        const UINT scanCode = ::MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
        live.m_edit.PostMessage(WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scanCode << 16)));
        live.PostMessage(kFinish);
    };
    return dialog.DoModal();
}

TEST(Dialog, PreTranslateMessageSwallowsKeysBeforeTheDialogManagerSeesThem)
{
    struct Case {
        const char* what;
        WPARAM key;
        WPARAM swallowedKey;
        INT_PTR result;
        int focusAtFinish;
    };
    const Case cases[] = {
        {"Escape swallowed", VK_ESCAPE, VK_ESCAPE, kFinished, IDC_TEXT},
        {"Escape passed on cancels", VK_ESCAPE, VK_RETURN, IDCANCEL, 0},
        {"Enter swallowed", VK_RETURN, VK_RETURN, kFinished, IDC_TEXT},
        {"Enter passed on presses the default button", VK_RETURN, VK_ESCAPE, IDOK, 0},
        {"Tab still moves the focus", VK_TAB, VK_ESCAPE, kFinished, IDOK},
    };
    for (const Case& c : cases) {
        CScriptDlg dialog;
        dialog.swallowedKey = c.swallowedKey;
        EXPECT_EQ(PressKey(dialog, c.key), c.result) << c.what;
        EXPECT_EQ(dialog.asked, (std::vector<std::string>{"edit", "dialog"}))
            << c.what << ": control first, then its dialog";
        if (c.result == kFinished) {
            EXPECT_EQ(dialog.focusAtFinish, c.focusAtFinish) << c.what;
        }
    }
}

TEST(Dialog, NestedModalDialogLeavesTheOuterOnesKeyHandlingInPlace)
{
    CScriptDlg outer;
    outer.swallowedKey = VK_ESCAPE;
    INT_PTR innerResult = 0;
    outer.script = [&](CScriptDlg& live) {
        CScriptDlg inner;
        inner.script = [](CScriptDlg& nested) { nested.EndDialog(5); };
        innerResult = inner.DoModal();
        const UINT scanCode = ::MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC);
        live.m_edit.PostMessage(WM_KEYDOWN, VK_ESCAPE, static_cast<LPARAM>(1 | (scanCode << 16)));
        live.PostMessage(kFinish);
    };
    EXPECT_EQ(outer.DoModal(), kFinished);
    EXPECT_EQ(innerResult, 5);
}

}  // namespace

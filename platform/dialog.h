// CDialog: a modal dialog run from a resource template. The dialog window
// is subclassed onto its object as it is created, so its table sees
// WM_CREATE before WM_INITDIALOG; while any modal dialog runs, messages
// taken from the thread's queue pass PreTranslateMessage first.
#pragma once

#include <windows.h>

#include "platform/message_rows.h"
#include "platform/window.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    static const MessageTable& Table();
    const MessageTable& GetMessageTable() const override { return Table(); }

    // The owner is `parent`, or without one the thread's active window.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

    // DialogBoxParamA: the value given to EndDialog, or -1 when the dialog
    // could not be made (including a WM_CREATE handler returning -1).
    virtual INT_PTR DoModal();
    // The base exchanges data into the controls (UpdateData(FALSE)); TRUE
    // lets the system give the focus to the first control that takes it.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // TRUE: controls → members; FALSE: members → controls.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
    // IDOK takes the data and ends with IDOK; IDCANCEL ends with IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();

private:
    LRESULT HandleInitDialog(WPARAM, LPARAM);
    void HandleOK() { OnOK(); }
    void HandleCancel() { OnCancel(); }
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageHook(int code, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_parent;
};

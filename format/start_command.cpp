// Start: confirmation, then one format job on a worker thread; its end is
// told to the user in the status lines and to the host by a broadcast.
#include "ui/veltrane_dlg.h"

#include <process.h>

#include "format/format_job.h"
#include "platform/message_box.h"
#include "platform/string_resource.h"

namespace {

constexpr int kJobControls[] = {IDC_DRIVE_LIST,      IDC_CARD_SD,          IDC_CARD_MMC, IDC_CARD_CF, IDC_LABEL,
                                IDC_COMPLETE_FORMAT, IDC_OPTIMIZED_FORMAT, IDC_START};

class WaitCursor {
public:
    WaitCursor() : m_previous(SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)))) {}
    ~WaitCursor() { SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

}  // namespace

void CVeltraneDlg::OnStart()
{
    if (m_btnStart.IsInactive())
        return;
    WaitCursor wait;
    UpdateCardPictures(false);
    if (AfxMessageBox(IDS_CONFIRM_DELETE, MB_YESNO | MB_ICONEXCLAMATION) == IDNO)
        return;
    if (m_formatThread != 0)
        return;
    EnableControls(FALSE);
    // The worker's first step waits for this thread, so the indication is
    // stored before the worker can clear it.
    const uintptr_t thread = _beginthread(FormatThreadProc, 0, this);
    if (thread == 0 || thread == static_cast<uintptr_t>(-1)) {
        EnableControls(TRUE);
        return;
    }
    m_formatThread = thread;
}

void CVeltraneDlg::FormatThreadProc(void* parameter)
{
    auto& dialog = *static_cast<CVeltraneDlg*>(parameter);
    dialog.SetDlgItemText(IDC_STATUS_HINT, LoadResourceString(IDS_PLEASE_WAIT));
    dialog.KillTimer(kPollTimerId);
    const int result = dialog.FormatDrive();
    dialog.ShowJobResult(result);
    dialog.m_formatThread = 0;
    dialog.EnableControls(TRUE);
    dialog.SetTimer(kPollTimerId, kPollIntervalMs);
}

void CVeltraneDlg::ShowJobResult(int result)
{
    if (result == FORMAT_FAILED) {
        SetDlgItemText(IDC_STATUS_RESULT, LoadResourceString(IDS_FAIL));
        SetDlgItemText(IDC_STATUS_HINT, LoadResourceString(IDS_FORMAT_ERROR));
        return;
    }
    // The refresh blanks the status lines: the texts come after it.
    OnSelChangeDrive();
    if (result != FORMAT_DONE) {
        SetDlgItemText(IDC_STATUS_RESULT, LoadResourceString(IDS_CANCEL));
        SetDlgItemText(IDC_STATUS_HINT, LoadResourceString(IDS_REPEAT));
        return;
    }
    SetDlgItemText(IDC_STATUS_RESULT, LoadResourceString(IDS_SUCCESS));
    SetDlgItemText(IDC_STATUS_HINT, LoadResourceString(IDS_REINSERT));
    AfxMessageBox("Format done, please re-insert the card!", MB_OK);
    BroadcastToHost(m_msgFormatDone);
}

void CVeltraneDlg::EnableControls(BOOL enable)
{
    for (int id : kJobControls)
        ::EnableWindow(GetDlgItem(id), enable);
    m_btnStart.SetInactive(!enable);
}

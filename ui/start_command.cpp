// Start: confirmation, then one format job on a worker thread; its end is
// told to the user in the status lines and to the host by a broadcast.
#include "ui/veltrane_dlg.h"

#include <process.h>

#include <utility>

#include "drives/raw_volume_win32.h"
#include "format/format_job.h"
#include "format/format_plan.h"
#include "platform/message_box.h"
#include "platform/string_resource.h"
#include "ui/job_label.h"

namespace {

constexpr wchar_t kShutdownBlockReason[] = L"Formatting a memory card";
constexpr DWORD kJobWaitSliceMs = 50;

// Besides the card-type radios and the erase-mode check boxes.
constexpr int kJobControls[] = {IDC_DRIVE_LIST, IDC_LABEL, IDC_START};

// What a FAT card will store of the label, where its code page cannot hold
// a character typed: told before the question, so Yes agrees to it.
std::optional<std::string> FatLabelNoteFor(HWND dialog, const FormatJobInputs& inputs)
{
    const std::optional<DiskGeometry> geometry =
        inputs.driveLetter ? ReadDriveGeometry(*inputs.driveLetter) : std::nullopt;
    const std::optional<std::uint64_t> estimate = geometry ? CapacityEstimateBytes(*geometry) : std::nullopt;
    const std::optional<trellan::Builder> builder =
        estimate ? ChooseBuilder(inputs.cardType, SizeClassOf(*estimate)) : std::nullopt;
    if (!builder)
        return std::nullopt;
    return FatLabelNote(*builder, ReadTypedLabel(dialog, IDC_LABEL));
}

class WaitCursor {
public:
    WaitCursor() : m_previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(m_previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

}  // namespace

void CVeltraneDlg::OnStart()
{
    // A second Start while the question is open would stack a second one,
    // whose Yes would format again after the job.
    if (m_btnStart.IsInactive() || m_confirming || m_formatThread != 0)
        return;
    WaitCursor wait;
    UpdateCardPictures(false);
    // The card is the one selected and sampled now: whatever happens to the
    // list while the question is open, Yes erases this card or nothing.
    FormatJobInputs inputs = ReadJobInputs();
    // A card swapped since the last poll is asked about with its own size.
    ShowAskedCardSize(inputs);
    m_confirming = true;
    if (const std::optional<std::string> note = FatLabelNoteFor(m_hWnd, inputs))
        AfxMessageBox(note->c_str(), MB_OK | MB_ICONINFORMATION);
    const int answer = AfxMessageBox(IDS_CONFIRM_DELETE, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    m_confirming = false;
    // Only Yes erases: a box closed, cancelled, escaped or ended by WM_QUIT
    // (which the box puts back for the dialog's loop) leaves the card alone.
    if (answer != IDYES) {
        if (std::exchange(m_rescanPending, false))
            ScanDrives();
        return;
    }
    // Device changes meanwhile are dropped, as during the job.
    m_rescanPending = false;
    m_jobInputs = std::move(inputs);
    m_cardFinished = false;
    m_closeAfterJob = false;
    m_workerRunning = true;
    // The worker starts first: a thread takes milliseconds to start, and
    // disabling the controls as many. Whatever it asks of the dialog waits
    // until this handler returns, and its end is a message read after it.
    const uintptr_t thread = _beginthread(FormatThreadProc, 0, this);
    if (thread == 0 || thread == static_cast<uintptr_t>(-1)) {
        m_workerRunning = false;
        return;
    }
    m_formatThread = thread;
    EnableControls(FALSE);
    SetDlgItemText(IDC_STATUS_HINT, LoadResourceString(IDS_PLEASE_WAIT));
    // Timers belong to the thread of their window: the dialog's, not the worker's.
    KillTimer(kPollTimerId);
    ShutdownBlockReasonCreate(m_hWnd, kShutdownBlockReason);
}

void CVeltraneDlg::FormatThreadProc(void* parameter)
{
    auto& dialog = *static_cast<CVeltraneDlg*>(parameter);
    // The worker only runs the job; the dialog's thread shows its end.
    int result = FORMAT_FAILED;
    try {
        result = dialog.FormatDrive();
    } catch (...) {
        result = FORMAT_FAILED;
    }
    dialog.m_jobResult = result;
    dialog.m_cardFinished = true;
    const HWND window = dialog.m_hWnd;
    // The last touch of the dialog: from here on it may go away.
    dialog.m_workerRunning = false;
    ::PostMessageA(window, kJobEndedMessage, 0, 0);
}

LRESULT CVeltraneDlg::OnJobEnded(WPARAM, LPARAM)
{
    FinishJob();
    if (std::exchange(m_closeAfterJob, false))
        OnCancel();
    return 0;
}

void CVeltraneDlg::FinishJob()
{
    if (m_formatThread == 0)
        return;
    ShowJobResult(m_jobResult);
    m_formatThread = 0;
    EnableControls(TRUE);
    SetTimer(kPollTimerId, kPollIntervalMs);
    ShutdownBlockReasonDestroy(m_hWnd);
}

void CVeltraneDlg::WaitForJob()
{
    bool quit = false;
    WPARAM quitCode = 0;
    while (m_workerRunning) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kJobWaitSliceMs, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    // The dialog ended while the job ran: its end is still told, without
    // the window.
    FinishJob();
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
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
    for (const CardTypeRow& row : kCardTypeRows)
        ::EnableWindow(GetDlgItem(row.radioId), enable);
    for (const EraseModeRow& row : kEraseModeRows)
        ::EnableWindow(GetDlgItem(row.checkBoxId), enable);
    m_btnStart.SetInactive(!enable);
}

// The dialog's side of a format job: its inputs are read from the controls
// and the card on the dialog's thread before the question; the job then runs
// on the worker thread and shows its boxes and progress through the dialog.
#include "ui/veltrane_dlg.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "format/card_format_win32.h"
#include "platform/message_box.h"
#include "platform/message_pump.h"
#include "ui/job_label.h"

namespace {

int NarrowToBar(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

}  // namespace

class CVeltraneDlg::JobView : public FormatJobDialog {
public:
    explicit JobView(CVeltraneDlg& dialog) : m_dialog(dialog) {}

    // The job ends after either box: a close asked for while it is open is
    // kept and carried out once the end is shown.
    void ShowMessage(JobMessage message) override
    {
        m_dialog.m_cardFinished = true;
        AfxMessageBox(static_cast<UINT>(message), MB_OK);
    }
    void ShowText(std::string_view text) override
    {
        m_dialog.m_cardFinished = true;
        AfxMessageBox(std::string(text).c_str(), MB_OK);
    }
    bool ConfirmFormat(std::string_view warning) override
    {
        // Only Yes goes on: a box closed, cancelled or ended by WM_QUIT
        // answers something else.
        return AfxMessageBox(std::string(warning).c_str(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
    }
    bool IsWriteProtected(RawVolume& volume) override { return m_dialog.IsWriteProtected(volume); }
    void ShowProgressBar() override { m_dialog.m_progress.ShowWindow(SW_SHOW); }
    void SetBarRange(std::int64_t lower, std::int64_t upper) override
    {
        m_upper = NarrowToBar(upper);
        m_dialog.m_progress.SetBarRange(NarrowToBar(lower), m_upper);
    }
    // Every position change repaints the whole bar on the dialog's thread,
    // time taken from the erase on a busy processor: five a second show the
    // bar moving, and the last position always passes.
    void SetBarPosition(std::int64_t position) override
    {
        const int shown = NarrowToBar(position);
        const ULONGLONG now = GetTickCount64();
        if (shown != m_upper && now - m_lastShownMs < kBarIntervalMs)
            return;
        m_lastShownMs = now;
        m_dialog.m_progress.SetBarPosition(shown);
    }
    // Each look at the queue is a round trip to the window system (under
    // Wine, to its server): asked at every erase write it cost more than
    // the write. The worker owns no window during the erase, so twenty
    // looks a second answer whatever is sent to it.
    void PumpPendingMessages() override
    {
        const ULONGLONG now = GetTickCount64();
        if (now - m_lastPumpMs < kPumpIntervalMs)
            return;
        m_lastPumpMs = now;
        ::PumpPendingMessages();
    }

private:
    static constexpr ULONGLONG kBarIntervalMs = 200;
    static constexpr ULONGLONG kPumpIntervalMs = 50;

    CVeltraneDlg& m_dialog;
    int m_upper = 0;
    ULONGLONG m_lastShownMs = 0;
    ULONGLONG m_lastPumpMs = 0;
};

FormatJobInputs CVeltraneDlg::ReadJobInputs() const
{
    FormatJobInputs inputs;
    inputs.driveLetter = SelectedDriveLetter();
    StoreLabelForLibrary(ReadTypedLabel(m_hWnd, IDC_LABEL), inputs.label);
    const auto isChecked = [this](int id) { return IsDlgButtonChecked(id) == BST_CHECKED; };
    inputs.cardType = CardTypeFromRadios(isChecked);
    inputs.eraseMode = EraseModeFromChecks(isChecked);
    if (inputs.driveLetter)
        inputs.card = SampleDriveCard(*inputs.driveLetter);
    return inputs;
}

bool CVeltraneDlg::IsWriteProtected(RawVolume& volume)
{
    return ::IsWriteProtected(volume);
}

int CVeltraneDlg::FormatDrive()
{
    JobView dialog(*this);
    return FormatCard(std::move(m_jobInputs), dialog);
}

// The dialog's side of a format job: its inputs are read from the controls
// and the card on the dialog's thread before the question; the job then runs
// on the worker thread, shows its boxes and progress through the dialog, and
// calls the card library.
#include "ui/veltrane_dlg.h"

#include <algorithm>
#include <climits>

#include "drives/exfat_support_win32.h"
#include "drives/raw_volume_win32.h"
#include "format/format_job.h"
#include "platform/message_box.h"
#include "trellan/trellan.h"

namespace {

int NarrowToBar(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

class DialogSeenByJob : public FormatJobDialog {
public:
    explicit DialogSeenByJob(CVeltraneDlg& dialog) : m_dialog(dialog) {}

    void ShowMessage(JobMessage message) override { AfxMessageBox(static_cast<UINT>(message), MB_OK); }
    void ShowText(std::string_view text) override { AfxMessageBox(std::string(text).c_str(), MB_OK); }
    bool ConfirmFormat(std::string_view warning) override
    {
        return AfxMessageBox(std::string(warning).c_str(), MB_YESNO | MB_ICONEXCLAMATION) != IDNO;
    }
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
    void PumpPendingMessages() override { ::PumpPendingMessages(); }

private:
    static constexpr ULONGLONG kBarIntervalMs = 200;

    CVeltraneDlg& m_dialog;
    int m_upper = 0;
    ULONGLONG m_lastShownMs = 0;
};

class TrellanLibrary : public CardLibrary {
public:
    int Build(CardBuilder builder, char driveLetter, char* label) override
    {
        switch (builder) {
        case CardBuilder::cf:
            return Trellan_BuildCf(driveLetter, label);
        case CardBuilder::exFat:
            return Trellan_BuildExFat(driveLetter, label);
        case CardBuilder::fat32:
            return Trellan_BuildFat32(driveLetter, label);
        case CardBuilder::sd:
            return Trellan_BuildSd(driveLetter, label);
        case CardBuilder::mmc:
            return Trellan_BuildMmc(driveLetter, label);
        }
        return 0;
    }
};

}  // namespace

int PumpPendingMessages()
{
    MSG message;
    // Without PM_NOYIELD an empty queue hands the processor away at every
    // erase write.
    while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            // Keep the quit request pending for whoever runs the loop.
            PostQuitMessage(0);
            return 0;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

FormatJobInputs CVeltraneDlg::ReadJobInputs() const
{
    FormatJobInputs inputs;
    inputs.driveLetter = SelectedDriveLetter();
    ::GetDlgItemTextA(m_hWnd, IDC_LABEL, inputs.label.data(), static_cast<int>(inputs.label.size()));
    inputs.cardType = CardTypeFromRadios(IsDlgButtonChecked(IDC_CARD_SD) == BST_CHECKED,
                                         IsDlgButtonChecked(IDC_CARD_MMC) == BST_CHECKED,
                                         IsDlgButtonChecked(IDC_CARD_CF) == BST_CHECKED);
    inputs.eraseMode = EraseModeFromChecks(IsDlgButtonChecked(IDC_OPTIMIZED_FORMAT) == BST_CHECKED,
                                           IsDlgButtonChecked(IDC_COMPLETE_FORMAT) == BST_CHECKED);
    if (inputs.driveLetter) {
        Win32RawVolumeOpener volumes;
        if (const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(*inputs.driveLetter))
            inputs.measuredLengthBytes = volume->LengthBytes();
    }
    return inputs;
}

int CVeltraneDlg::FormatDrive()
{
    Win32RawVolumeOpener volumes;
    DialogSeenByJob dialog(*this);
    TrellanLibrary library;
    return RunFormatJob(m_jobInputs, volumes, dialog, library, CheckExFatSupport);
}

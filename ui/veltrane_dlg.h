// The program's only window: a skinned modal dialog that holds every control
// and the whole state of the tool and of a running format job.
#pragma once

#include <windows.h>

#include "controls/combo_draw.h"
#include "controls/gdip_button.h"
#include "controls/gradient_progress_ctrl.h"
#include "drives/capacity_text.h"
#include "format/format_job.h"
#include "platform/bitmap_button.h"
#include "platform/dialog.h"
#include "platform/gdi_object.h"
#include "platform/message_rows.h"
#include "res/resource.h"
#include "ui/card_bitmaps.h"
#include "ui/card_pictures.h"
#include "ui/dialog_fonts.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// Posted by the worker when its job has ended.
inline constexpr UINT kJobEndedMessage = WM_APP + 1;

// The capacity poll: the dialog's only timer.
inline constexpr UINT_PTR kPollTimerId = 7002;
inline constexpr UINT kPollIntervalMs = 2000;
// The dialog's count of timer ticks handled, of any timer, kept as a window
// property for whoever watches it from outside: a tick posted behind other
// messages shows, once counted, that everything before it was handled.
inline constexpr char kTimerTicksProperty[] = "Veltrane.TimerTicks";

class CVeltraneDlg : public CDialog {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_CREATE, &CVeltraneDlg::OnCreate>(),
            MessageRow<WM_DESTROY, &CVeltraneDlg::OnDestroy>(),
            MessageRow<WM_PAINT, &CVeltraneDlg::OnPaint>(),
            MessageRow<WM_ERASEBKGND, &CVeltraneDlg::OnEraseBkgnd>(),
            MessageRow<WM_QUERYDRAGICON, &CVeltraneDlg::OnQueryDragIcon>(),
            MessageRow<WM_SYSCOMMAND, &CVeltraneDlg::OnSysCommand>(),
            MessageRow<WM_TIMER, &CVeltraneDlg::OnTimer>(),
            MessageRow<kJobEndedMessage, &CVeltraneDlg::OnJobEnded>(),
            MessageRow<WM_QUERYENDSESSION, &CVeltraneDlg::OnQueryEndSession>(),
            CtlColorRow<&CVeltraneDlg::OnCtlColor>(),
            CommandRow<IDC_START, BN_CLICKED, &CVeltraneDlg::OnStart>(),
            CommandRow<IDC_DRIVE_LIST, CBN_SELCHANGE, &CVeltraneDlg::OnSelChangeDrive>(),
            CommandRow<IDC_CARD_SD, BN_CLICKED, &CVeltraneDlg::OnCardSd>(),
            CommandRow<IDC_CARD_MMC, BN_CLICKED, &CVeltraneDlg::OnCardMmc>(),
            CommandRow<IDC_CARD_CF, BN_CLICKED, &CVeltraneDlg::OnCardCf>(),
            CommandRow<IDC_COMPLETE_FORMAT, BN_CLICKED, &CVeltraneDlg::OnCompleteFormat>(),
            CommandRow<IDC_OPTIMIZED_FORMAT, BN_CLICKED, &CVeltraneDlg::OnOptimizedFormat>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CDialog::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    explicit CVeltraneDlg(CWnd* parent = nullptr);

    // Where the launcher asked the window to be: set before DoModal.
    int m_top = 0;
    int m_left = 0;

    // Returns once no job runs, pumping this thread's messages meanwhile:
    // however the dialog ended, the card is not left half formatted, and
    // the job's end is still shown and told to the host.
    void WaitForJob();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL PreTranslateMessage(MSG* message) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    // The hidden Quit control (id 2), Alt+F4 and Close all end here; refused
    // while a job runs, because the worker still uses the dialog. Once the
    // card is finished the request is kept and carried out when the job ends.
    void OnCancel() override;
    // IDOK has no control, but a posted command or the Execute key ends the
    // dialog through it: refused the same way.
    void OnOK() override;

private:
    // The dialog as the format job sees it, on the worker thread.
    class JobView;

    // Drive view.
    void ScanDrives();
    void OnSelChangeDrive();
    void PollDriveSize();
    void UpdateCardPictures(bool cardPresent);
    void RefreshCardPictures(bool cardPresent);
    void ExchangeSettings(BOOL load);

    // Format job.
    void OnStart();
    void EnableControls(BOOL enable);
    int FormatDrive();
    // The trial write of sector 0, on the job's handle inside its claim.
    bool IsWriteProtected(RawVolume& volume);

    int OnCreate(CREATESTRUCT* create);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC& dc);
    HCURSOR OnQueryDragIcon();
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT ctlType);
    // The card-type radios and the erase-mode check boxes, each group
    // answered by its rows (cards/card_types.h, format/erase_modes.h).
    void OnCardSd() { OnCardRadio(IDC_CARD_SD); }
    void OnCardMmc() { OnCardRadio(IDC_CARD_MMC); }
    void OnCardCf() { OnCardRadio(IDC_CARD_CF); }
    void OnCompleteFormat() { OnEraseModeCheck(IDC_COMPLETE_FORMAT); }
    void OnOptimizedFormat() { OnEraseModeCheck(IDC_OPTIMIZED_FORMAT); }
    void OnCardRadio(int radioId);
    void OnEraseModeCheck(int checkBoxId);

    void AddAboutMenuItem();
    void SetVersionTitle();
    void SetUpSkinnedControls();
    void LoadSkinImages();
    void PlaceWindowAndControls();
    void BroadcastToHost(UINT message);

    std::optional<char> SelectedDriveLetter() const;
    void QueryDriveSize(CapacityQuery query);
    void ShowSizeText(const std::string& text);
    // The size of the card Start sampled, where the line still shows another's.
    void ShowAskedCardSize(const FormatJobInputs& inputs);
    void ResetFormatLabel();
    std::optional<CardType> CheckedCardType() const;
    // Sets the three pictures for the checked card; which card, or nothing
    // when no radio is checked.
    std::optional<CardType> ShowCardPictures(bool cardPresent);
    void OnCardChosen(CardType card);
    static void FormatThreadProc(void* dialog);
    LRESULT OnJobEnded(WPARAM, LPARAM);
    // On the dialog's thread, once the worker has ended: the result texts,
    // the completion box and broadcast, the controls and the poll timer.
    void FinishJob();
    // FALSE while a job runs: a shutdown would leave the card without a file system.
    LRESULT OnQueryEndSession(WPARAM, LPARAM);
    // The user's choices and the card's length, read before the question.
    FormatJobInputs ReadJobInputs() const;
    void ShowJobResult(int result);

    // The job's inputs, fixed when the user is asked; read by the worker.
    FormatJobInputs m_jobInputs;
    // The question before a job is open; device changes wait for its answer.
    bool m_confirming = false;
    bool m_rescanPending = false;
    bool m_closeAfterJob = false;
    CBitmap m_hBackground;
    CComboDraw m_cbDrive;
    HICON m_hIcon = nullptr;
    CGradientProgressCtrl m_progress;
    // The worker's handle; non-zero from a confirmed Start until the
    // dialog's thread has shown the job's end.
    std::atomic<uintptr_t> m_formatThread = 0;
    // True from before the worker starts until after its last use of the dialog.
    std::atomic<bool> m_workerRunning = false;
    std::atomic<int> m_jobResult = FORMAT_FAILED;
    // Set once nothing more is written to the card: by the job's last box
    // (every box of the job but the exFAT question ends it) or by its end.
    std::atomic<bool> m_cardFinished = false;
    int m_shownCardType = 0;
    CGdipButton m_sepTop;
    CGdipButton m_sepMiddle;
    CGdipButton m_sepBottom;
    CGdipButton m_btnStart;
    UINT m_msgAnnounce = 0;
    UINT m_msgFormatDone = 0;
    bool m_announcePending = false;
    std::uintptr_t m_timerTicks = 0;
    CBitmapButton m_btnQuit;
    DialogFonts m_fonts;
    CardBitmaps m_cardBitmaps;
    // True until the first paint has decoded the strips' and Start's pictures.
    bool m_skinImagesPending = true;
};

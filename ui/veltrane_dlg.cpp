#include "ui/veltrane_dlg.h"

#include <dbt.h>

#include <cstdio>
#include <utility>

#include "controls/mem_dc.h"
#include "platform/data_exchange.h"
#include "platform/string_resource.h"
#include "platform/version_info.h"
#include "platform/win_app.h"
#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui/control_styles.h"
#include "ui/dialog_layout.h"
#include "ui/skin_images.h"
#include "ui/swallowed_keys.h"
#include "ui/window_position.h"

CVeltraneDlg::CVeltraneDlg(CWnd* parent) : CDialog(IDD_VELTRANE_DIALOG, parent)
{
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

int CVeltraneDlg::OnCreate(CREATESTRUCT*)
{
    if (Default() == -1)
        return -1;
    m_msgAnnounce = RegisterWindowMessageA("Brevald Send Message");
    m_msgFormatDone = RegisterWindowMessageA("Format Done");
    return 0;
}

void CVeltraneDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DRIVE_LIST, m_cbDrive);
    DDX_Control(dx, IDC_PROGRESS, m_progress);
    DDX_Control(dx, IDC_STRIP_TOP, m_sepTop);
    DDX_Control(dx, IDC_STRIP_MIDDLE, m_sepMiddle);
    DDX_Control(dx, IDC_STRIP_BOTTOM, m_sepBottom);
    DDX_Control(dx, IDC_START, m_btnStart);
}

BOOL CVeltraneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_announcePending = true;
    m_fonts.Create();
    ApplyControlFonts(m_hWnd, m_fonts);
    m_cardBitmaps.Load();
    m_hBackground.Attach(
        LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    AddAboutMenuItem();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    SetVersionTitle();

    m_btnQuit.SubclassDlgItem(IDCANCEL, this);
    m_btnQuit.LoadBitmaps(IDB_QUIT_NORMAL, IDB_QUIT_PRESSED, 0, IDB_QUIT_DISABLED);
    m_btnQuit.SizeToContent();

    ScanDrives();
    ExchangeSettings(TRUE);

    m_progress.SetBarPosition(0);
    m_progress.m_startColor = RGB(255, 30, 60);
    m_progress.m_endColor = RGB(210, 210, 210);
    m_progress.m_backgroundColor = RGB(255, 255, 255);
    m_progress.m_textColor = RGB(0, 0, 0);
    m_progress.m_showPercent = TRUE;

    SetDlgItemText(IDC_DRIVE_CAPTION, LoadResourceString(IDS_DISK_DRIVE));
    SetDlgItemText(IDC_SIZE_CAPTION, LoadResourceString(IDS_DISK_SIZE));
    SetDlgItemText(IDC_LABEL_CAPTION, LoadResourceString(IDS_FORMAT_LABEL));
    for (const EraseModeRow& row : kEraseModeRows)
        SetDlgItemText(row.captionId, LoadResourceString(static_cast<UINT>(row.captionStringId)));

    SetUpSkinnedControls();
    SetTimer(kPollTimerId, kPollIntervalMs);
    PlaceWindowAndControls();
    return TRUE;
}

void CVeltraneDlg::AddAboutMenuItem()
{
    HMENU menu = GetSystemMenu(FALSE);
    if (menu == nullptr)
        return;
    const std::string about = LoadResourceString(IDS_ABOUTBOX);
    if (about.empty())
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void CVeltraneDlg::SetVersionTitle()
{
    // The executable always carries a version; without one the title is the name alone.
    std::string title = LoadResourceString(IDS_PRODUCT_NAME);
    if (const std::optional<FileVersion> version = ModuleFileVersion()) {
        char number[32];
        std::snprintf(number, sizeof number, "  %d.%d", version->major, version->minor);
        title += number;
    }
    SetWindowText(title);
}

void CVeltraneDlg::SetUpSkinnedControls()
{
    for (CGdipButton* button : {&m_sepTop, &m_sepMiddle, &m_sepBottom}) {
        button->SetFixedImageMode(TRUE);
        button->EnableWindow(FALSE);
    }
    m_btnStart.SetInactive(TRUE);
}

void CVeltraneDlg::LoadSkinImages()
{
    // Each picture is decoded once, however many slots show it.
    const SkinImages images = DecodeSkinImages();
    for (CGdipButton* button : {&m_sepTop, &m_sepMiddle, &m_sepBottom}) {
        button->SetNormalImage(images.strip);
        button->SetFixedImage(images.strip);
    }
    m_btnStart.SetNormalImage(images.startNormal);
    m_btnStart.SetHoverImage(images.startHover);
    m_btnStart.SetPressedImage(images.startPressed);
    m_btnStart.SetFixedImage(images.startInactive);
    m_btnStart.SetAlternateImage(images.startInactive);
}

void CVeltraneDlg::PlaceWindowAndControls()
{
    const ScreenArea screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const WindowPosition place =
        VisibleWindowPosition({m_left, m_top}, kDialogWidthPixels, kDialogHeightPixels, screen);
    SetWindowPos(HWND_TOP, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(nullptr, 0, 0, kDialogWidthPixels, kDialogHeightPixels, SWP_NOMOVE | SWP_NOACTIVATE);
    for (const ControlPlace& place : MainDialogLayout()) {
        const UINT keepSize = place.width == 0 && place.height == 0 ? SWP_NOSIZE : 0;
        ::SetWindowPos(GetDlgItem(place.id), nullptr, place.x, place.y, place.width, place.height,
                       SWP_NOACTIVATE | SWP_NOZORDER | keepSize);
    }
}

void CVeltraneDlg::OnPaint()
{
    if (IsIconic()) {
        CPaintDC dc(*this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        RECT client;
        GetClientRect(&client);
        const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
        return;
    }
    for (int id : {IDC_STRIP_TOP, IDC_STRIP_MIDDLE, IDC_STRIP_BOTTOM, IDC_DISK_SIZE})
        ::RedrawWindow(GetDlgItem(id), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Default();
}

BOOL CVeltraneDlg::OnEraseBkgnd(CDC& dc)
{
    Default();
    RECT client;
    GetClientRect(&client);
    CMemDC memory(&dc, client);
    // The skin is exactly the client size; the memory DC puts its own bitmap
    // back before it is deleted, which also releases the skin.
    if (m_hBackground.GetSafeHandle() != nullptr)
        memory.SelectObject(static_cast<HBITMAP>(m_hBackground));
    return TRUE;
}

HCURSOR CVeltraneDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CVeltraneDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    Default();
}

BOOL CVeltraneDlg::PreTranslateMessage(MSG* message)
{
    if (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN) {
        char name[100] = {};
        GetKeyNameTextA(static_cast<LONG>(message->lParam), name, sizeof name);
        if (IsSwallowedKey(name, static_cast<unsigned>(message->wParam)))
            return TRUE;
    }
    return CDialog::PreTranslateMessage(message);
}

LRESULT CVeltraneDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if ((message == WM_PAINT || message == WM_CTLCOLORDLG) && m_announcePending) {
        m_announcePending = false;
        BroadcastToHost(m_msgAnnounce);
    }
    // The dialog paints before its children, so the pictures are there
    // before any skinned button draws.
    if (message == WM_PAINT && std::exchange(m_skinImagesPending, false))
        LoadSkinImages();
    if (message == WM_DEVICECHANGE && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        // While the question is open the list stays as the user saw it.
        if (m_confirming)
            m_rescanPending = true;
        else
            ScanDrives();
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CVeltraneDlg::BroadcastToHost(UINT message)
{
    // Posted to every other application's top-level windows; the host tells
    // the tool's messages apart by the process id.
    DWORD recipients = BSM_APPLICATIONS;
    BroadcastSystemMessageA(BSF_IGNORECURRENTTASK | BSF_POSTMESSAGE | BSF_NOTIMEOUTIFNOTHUNG, &recipients, message,
                            GetCurrentProcessId(), 0);
}

void CVeltraneDlg::OnTimer(UINT_PTR id)
{
    // A tick already queued when a job started must not touch its volume
    // or re-enable Start.
    if (id == kPollTimerId && m_formatThread == 0)
        PollDriveSize();
    ::SetPropA(m_hWnd, kTimerTicksProperty, reinterpret_cast<HANDLE>(++m_timerTicks));
    Default();
}

void CVeltraneDlg::OnDestroy()
{
    ::RemovePropA(m_hWnd, kTimerTicksProperty);
    Default();
    ExchangeSettings(FALSE);
}

HBRUSH CVeltraneDlg::OnCtlColor(CDC& dc, CWnd& control, UINT ctlType)
{
    const int id = control.GetDlgCtrlID();
    const std::string text = id == IDC_STATUS_RESULT ? control.GetWindowText() : std::string();
    if (HBRUSH brush = StyleControl(dc, id, ctlType, text, m_fonts))
        return brush;
    return CDialog::OnCtlColor(dc, control, ctlType);
}

void CVeltraneDlg::OnCancel()
{
    if (m_formatThread != 0) {
        if (m_cardFinished)
            m_closeAfterJob = true;
        return;
    }
    CDialog::OnCancel();
}

void CVeltraneDlg::OnOK()
{
    if (m_formatThread != 0)
        return;
    CDialog::OnOK();
}

LRESULT CVeltraneDlg::OnQueryEndSession(WPARAM, LPARAM)
{
    return m_formatThread != 0 ? FALSE : Default();
}

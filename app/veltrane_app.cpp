#include "app/veltrane_app.h"

// GDI+ needs the COM declarations that the lean windows.h leaves out.
#include <objidl.h>

#include <gdiplus.h>

#include "app/admin_rights.h"
#include "app/launch_arguments.h"
#include "platform/message_box.h"
#include "platform/progress_ctrl.h"
#include "ui/veltrane_dlg.h"

CVeltraneApp theApp;

BOOL CVeltraneApp::InitInstance()
{
    // A write-protected card or an empty reader is answered by error codes
    // the program reports itself, not by the system's blocking boxes on
    // the worker or the poll timer.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const char* arguments = m_lpCmdLine != nullptr ? m_lpCmdLine : "";
    const LaunchArguments launch = ParseLaunchArguments(arguments);
    if (!launch.startedByLauncher) {
        AfxMessageBox("Please run Orvinel.exe to launch this application", MB_OK);
        return FALSE;
    }

    CProgressCtrl::RegisterWindowClass(m_hInstance);
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);

    if (IsUserAdmin()) {
        CVeltraneDlg dialog(nullptr);
        m_pMainWnd = &dialog;
        dialog.m_top = launch.top;
        dialog.m_left = launch.left;
        dialog.DoModal();
        dialog.WaitForJob();
        m_pMainWnd = nullptr;
    } else if (!RelaunchElevated(arguments)) {
        AfxMessageBox("Veltrane requires Administrator Privileges.", MB_OK);
    }
    return FALSE;
}

int CVeltraneApp::ExitInstance()
{
    if (m_gdiplusToken != 0)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    return CWinApp::ExitInstance();
}

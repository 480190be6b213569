// The application object: one per program, constructed before the entry
// point; the entry point runs InitInstance and ends with ExitInstance. The
// program's work happens inside InitInstance (a modal dialog), so no
// application message loop of its own ever runs.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Its result is not looked at: the program ends when it returns.
    virtual BOOL InitInstance() = 0;
    virtual int ExitInstance();

    // The whole run; called by the entry point.
    int Run(HINSTANCE instance, LPSTR commandLine);

    // The executable's base name, used as the caption of message boxes.
    const char* AppName() const { return m_appName; }

    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    CWnd* m_pMainWnd = nullptr;

private:
    char m_appName[MAX_PATH] = {};
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// The application object: one per program, constructed before the entry
// point; the entry point runs InitInstance and ends with ExitInstance.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // FALSE ends the program at once (no message loop of its own).
    virtual BOOL InitInstance();
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

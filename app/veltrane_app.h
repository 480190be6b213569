// The application object: checks the launcher contract and administrator
// rights, then runs the main dialog; the program ends when it closes.
#pragma once

#include "platform/win_app.h"

class CVeltraneApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    ULONG_PTR m_gdiplusToken = 0;
};

extern CVeltraneApp theApp;

#include "platform/win_app.h"

#include <cstring>

namespace {
CWinApp* g_app = nullptr;

void BaseNameWithoutExtension(char* buffer, size_t size)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    lstrcpynA(buffer, name, static_cast<int>(size));
    if (char* dot = std::strrchr(buffer, '.'))
        *dot = '\0';
}
}  // namespace

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::ExitInstance()
{
    return 0;
}

int CWinApp::Run(HINSTANCE instance, LPSTR commandLine)
{
    m_hInstance = instance;
    m_lpCmdLine = commandLine;
    BaseNameWithoutExtension(m_appName, sizeof m_appName);
    InitInstance();
    return ExitInstance();
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app != nullptr ? g_app->m_hInstance : GetModuleHandleA(nullptr);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->Run(instance, commandLine) : 1;
}

#include "target_process.h"

#include <vector>

namespace {

constexpr int kStartButtonId = 1002;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kAboutVersionLineId = 1022;

struct Search {
    DWORD processId;
    std::vector<HWND> dialogs;
};

BOOL CALLBACK CollectDialogs(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && ClassName(window) == "#32770")
        search->dialogs.push_back(window);
    return TRUE;
}

HWND FindDialogWithItem(DWORD processId, int itemId)
{
    Search search{processId, {}};
    EnumWindows(CollectDialogs, reinterpret_cast<LPARAM>(&search));
    for (HWND dialog : search.dialogs) {
        if (GetDlgItem(dialog, itemId) != nullptr)
            return dialog;
    }
    return nullptr;
}

}  // namespace

std::string WindowText(HWND window)
{
    char text[1024] = {};
    DWORD_PTR length = 0;
    // WM_GETTEXT is marshalled across processes; GetWindowTextA is not for edits.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &length);
    return std::string(text, static_cast<size_t>(length));
}

std::string ClassName(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

TargetProcess::~TargetProcess()
{
    Kill();
}

bool TargetProcess::Start(const std::string& executable, const std::string& arguments)
{
    Kill();
    std::string commandLine = "\"" + executable + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &m_info) != FALSE;
}

bool TargetProcess::Running() const
{
    return m_info.hProcess != nullptr && ExitCode() == STILL_ACTIVE;
}

DWORD TargetProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (m_info.hProcess != nullptr)
        GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

void TargetProcess::Kill()
{
    if (m_info.hProcess == nullptr)
        return;
    if (ExitCode() == STILL_ACTIVE) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
    m_info = {};
}

HWND TargetProcess::FindDialog() const
{
    return FindDialogWithItem(m_info.dwProcessId, kStartButtonId);
}

HWND TargetProcess::FindMessageBox() const
{
    return FindDialogWithItem(m_info.dwProcessId, kMessageBoxTextId);
}

HWND TargetProcess::FindAboutBox() const
{
    return FindDialogWithItem(m_info.dwProcessId, kAboutVersionLineId);
}

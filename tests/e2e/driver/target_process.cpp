#include "target_process.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

#include "boxes.h"
#include "resource.h"

namespace {

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

namespace {

// The ids of the running processes of `executable`, by file name.
std::vector<DWORD> ProcessesOf(const std::string& executable)
{
    const std::string name = executable.substr(executable.find_last_of("\\/") + 1);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    std::vector<DWORD> found;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, name.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

int CountProcesses(const std::string& executable)
{
    return static_cast<int>(ProcessesOf(executable).size());
}

bool TargetProcess::Adopt(const std::string& executable)
{
    DWORD found = 0;
    for (DWORD id : ProcessesOf(executable)) {
        if (id != m_info.dwProcessId)
            found = id;
    }
    if (found == 0)
        return false;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, found);
    if (process == nullptr)
        return false;
    Kill();
    m_info.hProcess = process;
    m_info.dwProcessId = found;
    return true;
}

void TargetProcess::SuspendWorkers(bool suspend)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool first = true;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != m_info.dwProcessId)
            continue;
        // The snapshot lists a process's threads in the order they started.
        if (first) {
            first = false;
            continue;
        }
        if (HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID)) {
            if (suspend)
                SuspendThread(thread);
            else
                ResumeThread(thread);
            CloseHandle(thread);
        }
    }
    CloseHandle(snapshot);
}

std::string ProcessCommandLine(HANDLE process)
{
    // Read from the process's own parameters block, as a debugger would.
    PROCESS_BASIC_INFORMATION basic = {};
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS parameters = {};
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
        !ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr))
        return "unknown";
    std::wstring text(parameters.CommandLine.Length / sizeof(WCHAR), L'\0');
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, text.data(), parameters.CommandLine.Length, nullptr))
        return "unknown";
    return std::string(text.begin(), text.end());
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
    return FindDialogWithItem(m_info.dwProcessId, IDC_START);
}

HWND TargetProcess::FindMessageBox() const
{
    return FindDialogWithItem(m_info.dwProcessId, kMessageBoxTextId);
}

HWND TargetProcess::FindAboutBox() const
{
    return FindDialogWithItem(m_info.dwProcessId, IDC_VERSION_LINE);
}

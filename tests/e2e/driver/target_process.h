// The program under test: started with given arguments, its windows found by
// process, its controls read and operated from outside as a user would.
#pragma once

#include <windows.h>

#include <string>

class TargetProcess {
public:
    TargetProcess() = default;
    ~TargetProcess();
    TargetProcess(const TargetProcess&) = delete;
    TargetProcess& operator=(const TargetProcess&) = delete;

    bool Start(const std::string& executable, const std::string& arguments);
    // Takes over another running process of the same program (a relaunched
    // copy); false when there is none.
    bool Adopt(const std::string& executable);
    // Suspends (or resumes) every thread of the process but its first, the
    // dialog's: a running job stands still while the window still paints.
    void SuspendWorkers(bool suspend);
    bool Running() const;
    DWORD ProcessId() const { return m_info.dwProcessId; }
    DWORD ThreadId() const { return m_info.dwThreadId; }
    // Exit code, or STILL_ACTIVE.
    DWORD ExitCode() const;
    void Kill();

    // The main dialog: a visible dialog window of the process holding the Start button.
    HWND FindDialog() const;
    // A message box (or the About box when about is true) of the process.
    HWND FindMessageBox() const;
    HWND FindAboutBox() const;

private:
    PROCESS_INFORMATION m_info = {};
};

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// How many processes of `executable` (by file name) are running.
int CountProcesses(const std::string& executable);
// The process's command line as it was started, or "unknown".
std::string ProcessCommandLine(HANDLE process);

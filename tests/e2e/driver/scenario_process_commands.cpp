// The program's life: starting and adopting it, ending it, and what the host
// launcher and the suite script exchange with it.
#include <string>

#include "controls.h"
#include "dialog_messages.h"
#include "driver_files.h"
#include "process_usage.h"
#include "scenario.h"
#include "script_line.h"

namespace {

std::string Join(const std::vector<WPARAM>& values)
{
    std::string joined;
    for (WPARAM value : values) {
        if (!joined.empty())
            joined += ',';
        joined += std::to_string(value);
    }
    return joined;
}

}  // namespace

void Scenario::Start(const Words&)
{
    if (!m_target.Start(m_executable, TextAfterWords(m_line, 1)))
        Fail("cannot start " + m_executable);
}

void Scenario::StartRestricted(const Words&)
{
    // The launcher beside the driver runs the program with Administrators
    // deny-only; it ends when the program's first process ends.
    const std::string launcher = BesideDriver("restricted-launch.exe");
    std::string arguments = "\"" + m_executable + "\"";
    if (const std::string rest = TextAfterWords(m_line, 1); !rest.empty())
        arguments += " " + rest;
    if (!m_target.Start(launcher, arguments))
        Fail("cannot start " + launcher);
}

void Scenario::Adopt(const Words&)
{
    // The relaunched copy is another process of the same program.
    if (!WaitFor([&] { return m_target.Adopt(m_executable); }, m_timeout)) {
        Fail("no other process of " + m_executable);
        return;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_target.ProcessId());
    Record("adopted.cmdline", process != nullptr ? ProcessCommandLine(process) : "unknown");
    if (process != nullptr)
        CloseHandle(process);
}

void Scenario::Processes(const Words&)
{
    Record("processes", std::to_string(CountProcesses(m_executable)));
}

void Scenario::Pid(const Words&)
{
    Record("pid", std::to_string(m_target.ProcessId()));
}

void Scenario::IsRunning(const Words&)
{
    Record("running", m_target.Running() ? "1" : "0");
}

void Scenario::Kill(const Words&)
{
    m_target.Kill();
}

void Scenario::Quit(const Words&)
{
    if (!PostThreadMessageA(m_target.ThreadId(), WM_QUIT, 0, 0))
        Fail("cannot post WM_QUIT");
}

void Scenario::EndSession(const Words&)
{
    HWND dialog = Dialog();
    if (dialog == nullptr)
        return;
    const auto answer = QueryEndSession(dialog);
    if (!answer) {
        Fail("no answer to WM_QUERYENDSESSION");
        return;
    }
    Record("endsession", std::to_string(*answer));
}

void Scenario::Broadcasts(const Words&)
{
    m_host.Pump();
    Record("announce.count", std::to_string(m_host.Announcements().size()));
    Record("announce", Join(m_host.Announcements()));
    Record("formatdone.count", std::to_string(m_host.FormatDone().size()));
    Record("formatdone", Join(m_host.FormatDone()));
}

void Scenario::Signal(const Words& words)
{
    // A file in the sync folder tells the suite script to act (pull a card,
    // put it back); it answers with NAME.done, which this waits for.
    const std::string name = SyncPath(words.size() > 1 ? words[1] : "signal");
    if (!CreateEmptyFile(name)) {
        Fail("cannot signal " + name);
        return;
    }
    const std::string done = name + ".done";
    if (!WaitFor([&] { return FileExists(done); }, m_timeout))
        Fail("no answer to " + name);
}

void Scenario::Freeze(const Words& words)
{
    // freeze BAR AT: once the bar has reached AT, the job stands still.
    HWND bar = Control(words, 1);
    const auto at = Number(words, 2, 1);
    if (bar == nullptr || !at)
        return;
    if (!WaitFor([&] { return ProgressPosition(bar) >= *at; }, m_timeout)) {
        Fail("the bar never reached " + std::to_string(*at));
        return;
    }
    m_target.SuspendWorkers(true);
}

void Scenario::Thaw(const Words&)
{
    m_target.SuspendWorkers(false);
}

void Scenario::LeakCheck(const Words& words)
{
    const auto before = MeasureUsage(m_target.ProcessId());
    if (!before) {
        Fail("cannot open the process");
        return;
    }
    Ticks(words);
    const auto after = MeasureUsage(m_target.ProcessId());
    if (!after) {
        Fail("cannot open the process");
        return;
    }
    Record("gdiobjects.before", std::to_string(before->gdiObjects));
    Record("gdiobjects.growth", std::to_string(after->gdiObjects - before->gdiObjects));
    Record("commitkib.before", std::to_string(before->commitKib));
    Record("commitkib.growth", std::to_string(after->commitKib - before->commitKib));
}

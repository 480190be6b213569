#include "scenario.h"

#include <dbt.h>
#include <windows.h>

#include <cstdlib>
#include <iostream>

#include "dialog_messages.h"
#include "script_line.h"

namespace {

constexpr int kPollMilliseconds = 20;

}  // namespace

Scenario::Scenario(std::string executable) : m_executable(std::move(executable)), m_names(ControlNames::Embedded()) {}

const std::map<std::string, Scenario::Command>& Scenario::Commands()
{
    static const std::map<std::string, Command> commands{
        {"start", &Scenario::Start},
        {"wait", &Scenario::Wait},
        {"sleep", &Scenario::Sleep},
        {"title", &Scenario::Title},
        {"text", &Scenario::Text},
        {"box", &Scenario::Box},
        {"about", &Scenario::About},
        {"rect", &Scenario::Rect},
        {"layout", &Scenario::Layout},
        {"visible", &Scenario::Visible},
        {"enabled", &Scenario::Enabled},
        {"checked", &Scenario::Checked},
        {"focus", &Scenario::Focus},
        {"combo", &Scenario::Combo},
        {"click", &Scenario::Click},
        {"select", &Scenario::Select},
        {"type", &Scenario::Type},
        {"answer", &Scenario::Answer},
        {"dismiss", &Scenario::Dismiss},
        {"key", &Scenario::Key},
        {"syscommand", &Scenario::SysCommand},
        {"invalidate", &Scenario::Invalidate},
        {"pixels", &Scenario::Pixels},
        {"progress", &Scenario::Progress},
        {"track", &Scenario::Track},
        {"ticks", &Scenario::Ticks},
        {"leakcheck", &Scenario::LeakCheck},
        {"signal", &Scenario::Signal},
        {"devicechange", &Scenario::DeviceChange},
        {"broadcasts", &Scenario::Broadcasts},
        {"pid", &Scenario::Pid},
        {"screenshot", &Scenario::Screenshot},
        {"snapshot", &Scenario::Snapshot},
        {"freeze", &Scenario::Freeze},
        {"thaw", &Scenario::Thaw},
        {"moveto", &Scenario::MoveTo},
        {"startrestricted", &Scenario::StartRestricted},
        {"adopt", &Scenario::Adopt},
        {"processes", &Scenario::Processes},
        {"expect", &Scenario::Expect},
        {"kill", &Scenario::Kill},
        {"command", &Scenario::PostCommand},
        {"quit", &Scenario::Quit},
        {"endsession", &Scenario::EndSession},
        {"running", &Scenario::IsRunning},
    };
    return commands;
}

int Scenario::Run(std::istream& script)
{
    if (m_names.Empty()) {
        Fail("the driver was built without the control names of res/resource.h");
        return m_failures;
    }
    for (std::string line; std::getline(script, line);) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Execute(line.substr(first));
    }
    m_target.Kill();
    return m_failures;
}

void Scenario::Execute(const std::string& line)
{
    std::cout << "> " << line << std::endl;
    m_line = line;
    const Words words = SplitWords(line);
    const auto command = Commands().find(words[0]);
    if (command == Commands().end()) {
        Fail("unknown command " + words[0]);
        return;
    }
    (this->*command->second)(words);
}

void Scenario::Record(const std::string& key, const std::string& value)
{
    m_seen[key] = value;
    std::cout << key << " = \"" << value << "\"" << std::endl;
}

void Scenario::Fail(const std::string& why)
{
    ++m_failures;
    std::cout << "FAIL: " << why << std::endl;
}

bool Scenario::WaitFor(const std::function<bool()>& ready, int milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        m_host.Pump();
        TrackProgress();
        if (ready())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPollMilliseconds, QS_ALLINPUT);
    }
}

std::optional<long long> Scenario::Number(const Words& words, size_t index, long long fallback)
{
    if (words.size() <= index)
        return fallback;
    // The system's codes a scenario sends, by their Windows names.
    static const std::map<std::string, long long> systemNames{
        {"SC_CLOSE", SC_CLOSE},
        {"DBT_DEVICEARRIVAL", DBT_DEVICEARRIVAL},
        {"DBT_DEVICEREMOVECOMPLETE", DBT_DEVICEREMOVECOMPLETE},
        {"DBT_DEVNODES_CHANGED", DBT_DEVNODES_CHANGED},
    };
    const std::string& word = words[index];
    if (const auto system = systemNames.find(word); system != systemNames.end())
        return system->second;
    if (const auto id = m_names.Find(word))
        return *id;
    const auto number = ParseInteger(word);
    if (!number)
        Fail("not a number or a known name: " + word);
    return number;
}

std::optional<int> Scenario::ControlId(const Words& words, size_t index)
{
    if (words.size() <= index) {
        Fail("missing control name");
        return std::nullopt;
    }
    const std::string& word = words[index];
    if (const auto id = m_names.Find(word))
        return id;
    if (const auto number = ParseInteger(word))
        return static_cast<int>(*number);
    Fail("unknown control " + word + ": res/resource.h defines no such IDC_ name");
    return std::nullopt;
}

HWND Scenario::Dialog()
{
    HWND dialog = m_target.FindDialog();
    if (dialog == nullptr)
        Fail("no main dialog");
    return dialog;
}

HWND Scenario::Control(const Words& words, size_t index)
{
    const auto id = ControlId(words, index);
    if (!id)
        return nullptr;
    HWND dialog = Dialog();
    if (dialog == nullptr)
        return nullptr;
    HWND control = GetDlgItem(dialog, *id);
    if (control == nullptr)
        Fail("no control " + words[index]);
    return control;
}

void Scenario::Wait(const Words& words)
{
    const std::string what = words.size() > 1 ? words[1] : "";
    const ULONGLONG started = GetTickCount64();
    bool reached = false;
    if (what == "dialog") {
        reached = WaitFor([&] { return m_target.FindDialog() != nullptr; }, m_timeout);
    } else if (what == "box") {
        reached = WaitFor([&] { return m_target.FindMessageBox() != nullptr; }, m_timeout);
    } else if (what == "nobox") {
        reached = WaitFor([&] { return m_target.FindMessageBox() == nullptr; }, m_timeout);
    } else if (what == "about") {
        reached = WaitFor([&] { return m_target.FindAboutBox() != nullptr; }, m_timeout);
    } else if (what == "exit") {
        reached = WaitFor([&] { return !m_target.Running(); }, m_timeout);
        if (reached)
            Record("exit", std::to_string(m_target.ExitCode()));
    } else if (what == "text" && words.size() > 2) {
        const auto id = ControlId(words, 2);
        if (!id)
            return;
        const std::string expected = TextAfterWords(m_line, 3);
        reached = WaitFor(
            [&] {
                HWND dialog = m_target.FindDialog();
                HWND control = dialog != nullptr ? GetDlgItem(dialog, *id) : nullptr;
                return control != nullptr && WindowText(control) == expected;
            },
            m_timeout);
    } else if (what == "formatdone" && words.size() > 2) {
        const auto count = Number(words, 2, 0);
        if (!count)
            return;
        reached = WaitFor([&] { return m_host.FormatDone().size() >= static_cast<size_t>(*count); }, m_timeout);
    } else if (what == "tick") {
        reached = WaitTick();
    } else if (what == "painted") {
        if (HWND dialog = Dialog())
            WaitPainted(dialog);
        return;
    } else if (what == "timeout" && words.size() > 2) {
        if (const auto timeout = Number(words, 2, 0))
            m_timeout = static_cast<int>(*timeout);
        return;
    } else {
        Fail("unknown wait: " + m_line);
        return;
    }
    if (!reached)
        Fail("timed out: " + m_line);
    else
        Record("waited." + what, std::to_string(GetTickCount64() - started));
}

// Nothing that was asked of the dialog before is still waiting: a timer tick
// posted behind it has been handled. Ticks are posted messages like clicks,
// keys and commands, and a thread takes posted messages in order.
bool Scenario::WaitTick()
{
    HWND dialog = Dialog();
    if (dialog == nullptr)
        return false;
    // A tick being handled now is counted before the dialog takes this one.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, static_cast<UINT>(m_timeout), &ignored);
    const std::uintptr_t before = TimerTicksHandled(dialog);
    PostQuietTick(dialog);
    return WaitFor([&] { return TimerTicksHandled(dialog) > before; }, m_timeout);
}

void Scenario::Sleep(const Words& words)
{
    if (const auto milliseconds = Number(words, 1, 0))
        WaitFor([] { return false; }, static_cast<int>(*milliseconds));
}

void Scenario::Expect(const Words& words)
{
    if (words.size() < 3) {
        Fail("expect needs a key and an operator");
        return;
    }
    const std::string& key = words[1];
    const std::string& op = words[2];
    const std::string expected = TextAfterWords(m_line, 3);
    const auto seen = m_seen.find(key);
    if (seen == m_seen.end()) {
        Fail("nothing seen under " + key);
        return;
    }
    const std::string& actual = seen->second;
    bool holds = false;
    if (op == "==")
        holds = actual == expected;
    else if (op == "!=")
        holds = actual != expected;
    else if (op == "contains")
        holds = actual.find(expected) != std::string::npos;
    else if (op == ">=")
        holds = std::strtoll(actual.c_str(), nullptr, 0) >= std::strtoll(expected.c_str(), nullptr, 0);
    else if (op == "<=")
        holds = std::strtoll(actual.c_str(), nullptr, 0) <= std::strtoll(expected.c_str(), nullptr, 0);
    else if (op == "sameas" || op == "differsfrom") {
        const auto other = m_seen.find(expected);
        if (other == m_seen.end()) {
            Fail("nothing seen under " + expected);
            return;
        }
        holds = (actual == other->second) == (op == "sameas");
    } else {
        Fail("unknown operator " + op);
        return;
    }
    if (!holds)
        Fail(key + " is \"" + actual + "\", expected " + op + " \"" + expected + "\"");
}

// Runs a scenario script line by line: each command acts as the host launcher
// or the user, prints what it saw as "key = value" lines, and "expect" lines
// check the last value seen under a key. Controls are named as res/resource.h
// names them (`click IDC_START`); their numbers work too.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "control_names.h"
#include "host_listener.h"
#include "target_process.h"

class Scenario {
public:
    explicit Scenario(std::string executable);

    // Returns the number of failed expectations and commands.
    int Run(std::istream& script);

private:
    using Words = std::vector<std::string>;
    using Command = void (Scenario::*)(const Words&);

    static const std::map<std::string, Command>& Commands();
    void Execute(const std::string& line);
    void Record(const std::string& key, const std::string& value);
    void Fail(const std::string& why);
    // Waits, pumping the host window, until ready() holds or the time is up.
    bool WaitFor(const std::function<bool()>& ready, int milliseconds);

    // The argument at `index`: `fallback` when the line ends before it;
    // nothing, and a failure, when it is not a number.
    std::optional<long long> Number(const Words& words, size_t index, long long fallback);
    // The control id the word at `index` names, by name or number; nothing,
    // and a failure, when it is missing or names no control.
    std::optional<int> ControlId(const Words& words, size_t index);
    HWND Dialog();
    // The dialog's control that the word at `index` names.
    HWND Control(const Words& words, size_t index);

    // The program's life (scenario_process_commands.cpp).
    void Start(const Words& words);
    void StartRestricted(const Words& words);
    void Adopt(const Words& words);
    void Processes(const Words& words);
    void Pid(const Words& words);
    void IsRunning(const Words& words);
    void Kill(const Words& words);
    void Quit(const Words& words);
    void EndSession(const Words& words);
    void Broadcasts(const Words& words);
    void Signal(const Words& words);
    void Freeze(const Words& words);
    void Thaw(const Words& words);
    void LeakCheck(const Words& words);

    // What the user sees (scenario_reading_commands.cpp).
    void Title(const Words& words);
    void Text(const Words& words);
    void Box(const Words& words);
    void About(const Words& words);
    void Rect(const Words& words);
    void Layout(const Words& words);
    void Visible(const Words& words);
    void Enabled(const Words& words);
    void Checked(const Words& words);
    void Focus(const Words& words);
    void Combo(const Words& words);
    void Pixels(const Words& words);
    void Progress(const Words& words);
    void Track(const Words& words);
    void TrackProgress();
    void Screenshot(const Words& words);
    void Snapshot(const Words& words);
    void WaitPainted(HWND window);
    bool WaitTick();

    // What the user and the system do (scenario_acting_commands.cpp).
    void Click(const Words& words);
    void Select(const Words& words);
    void Type(const Words& words);
    void Answer(const Words& words);
    void Dismiss(const Words& words);
    void Key(const Words& words);
    void SysCommand(const Words& words);
    void PostCommand(const Words& words);
    void Ticks(const Words& words);
    void DeviceChange(const Words& words);
    void Invalidate(const Words& words);
    void MoveTo(const Words& words);

    // Waiting and checking (scenario.cpp).
    void Wait(const Words& words);
    void Sleep(const Words& words);
    void Expect(const Words& words);

    std::string m_executable;
    ControlNames m_names;
    HostListener m_host;
    TargetProcess m_target;
    std::map<std::string, std::string> m_seen;
    std::string m_line;
    int m_timeout = 10000;
    int m_trackedBar = 0;
    LRESULT m_trackedMaximum = -1;
    int m_failures = 0;
};

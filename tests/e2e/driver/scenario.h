// Runs a scenario script line by line: each command acts as the host launcher
// or the user, prints what it saw as "key = value" lines, and "expect" lines
// check the last value seen under a key.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

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

    void Execute(const std::string& line);
    void Record(const std::string& key, const std::string& value);
    void Fail(const std::string& why);
    // Waits, pumping the host window, until ready() holds or the time is up.
    bool WaitFor(const std::function<bool()>& ready, int milliseconds);
    HWND Dialog();
    HWND Item(const Words& words, size_t index);

    void Start(const Words& words);
    void Wait(const Words& words);
    void Sleep(const Words& words);
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
    void Click(const Words& words);
    void Select(const Words& words);
    void Type(const Words& words);
    void Answer(const Words& words);
    void Key(const Words& words);
    void SysCommand(const Words& words);
    void Invalidate(const Words& words);
    void Pixels(const Words& words);
    void Progress(const Words& words);
    void Track(const Words& words);
    void TrackProgress();
    void Ticks(const Words& words);
    void LeakCheck(const Words& words);
    void Signal(const Words& words);
    void DeviceChange(const Words& words);
    void Broadcasts(const Words& words);
    void Pid(const Words& words);
    void Screenshot(const Words& words);
    void Snapshot(const Words& words);
    void Freeze(const Words& words);
    void Thaw(const Words& words);
    void MoveTo(const Words& words);
    void StartRestricted(const Words& words);
    void Adopt(const Words& words);
    void Processes(const Words& words);
    void Expect(const Words& words);
    void Kill(const Words& words);
    void PostCommand(const Words& words);
    void Quit(const Words& words);
    void EndSession(const Words& words);
    void IsRunning(const Words& words);

    std::string m_executable;
    HostListener m_host;
    TargetProcess m_target;
    std::map<std::string, std::string> m_seen;
    std::string m_line;
    int m_timeout = 10000;
    int m_trackedBar = 0;
    LRESULT m_trackedMaximum = -1;
    int m_failures = 0;
    const std::map<std::string, Command> m_commands;
};

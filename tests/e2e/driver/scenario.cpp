#include "scenario.h"

#include <commctrl.h>
#include <dbt.h>
#include <psapi.h>

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "screenshot.h"

namespace {

constexpr int kPollMilliseconds = 20;

std::vector<std::string> SplitWords(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

// The text behind the first `count` words, as written; a value in double
// quotes keeps its blanks ("Success " ends in one).
std::string Rest(const std::string& line, size_t count)
{
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        at = line.find_first_not_of(" \t", at);
        at = line.find_first_of(" \t", at);
        if (at == std::string::npos)
            return {};
    }
    at = line.find_first_not_of(" \t", at);
    if (at == std::string::npos)
        return {};
    std::string rest = line.substr(at);
    rest.erase(rest.find_last_not_of(" \t\r") + 1);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return rest;
}

void Append(std::string& list, const std::string& item)
{
    if (!list.empty())
        list += ',';
    list += item;
}

std::string Join(const std::vector<WPARAM>& values)
{
    std::string joined;
    for (WPARAM value : values)
        Append(joined, std::to_string(value));
    return joined;
}

int Number(const std::string& word)
{
    return static_cast<int>(std::strtol(word.c_str(), nullptr, 0));
}

struct KeyStroke {
    const char* name;
    WORD virtualKey;
    WORD scanCode;
    bool extended;
};

// Scan codes matter: the program names keys with GetKeyNameText.
constexpr KeyStroke kKeys[] = {
    {"return", VK_RETURN, 0x1C, false}, {"kpenter", VK_RETURN, 0x1C, true}, {"escape", VK_ESCAPE, 0x01, false},
    {"tab", VK_TAB, 0x0F, false},       {"space", VK_SPACE, 0x39, false},   {"a", 'A', 0x1E, false},
    {"execute", VK_EXECUTE, 0x00, false},
};

}  // namespace

Scenario::Scenario(std::string executable)
    : m_executable(std::move(executable)),
      m_commands{
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
      }
{
}

int Scenario::Run(std::istream& script)
{
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
    const auto command = m_commands.find(words[0]);
    if (command == m_commands.end()) {
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

HWND Scenario::Dialog()
{
    HWND dialog = m_target.FindDialog();
    if (dialog == nullptr)
        Fail("no main dialog");
    return dialog;
}

HWND Scenario::Item(const Words& words, size_t index)
{
    if (words.size() <= index) {
        Fail("missing control id");
        return nullptr;
    }
    HWND dialog = Dialog();
    if (dialog == nullptr)
        return nullptr;
    HWND item = GetDlgItem(dialog, Number(words[index]));
    if (item == nullptr)
        Fail("no control " + words[index]);
    return item;
}

void Scenario::Start(const Words&)
{
    if (!m_target.Start(m_executable, Rest(m_line, 1)))
        Fail("cannot start " + m_executable);
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
        const std::string expected = Rest(m_line, 3);
        reached = WaitFor(
            [&] {
                HWND dialog = m_target.FindDialog();
                HWND item = dialog != nullptr ? GetDlgItem(dialog, Number(words[2])) : nullptr;
                return item != nullptr && WindowText(item) == expected;
            },
            m_timeout);
    } else if (what == "formatdone" && words.size() > 2) {
        const size_t count = static_cast<size_t>(Number(words[2]));
        reached = WaitFor([&] { return m_host.FormatDone().size() >= count; }, m_timeout);
    } else if (what == "timeout" && words.size() > 2) {
        m_timeout = Number(words[2]);
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

void Scenario::Sleep(const Words& words)
{
    const int milliseconds = words.size() > 1 ? Number(words[1]) : 0;
    WaitFor([] { return false; }, milliseconds);
}

void Scenario::Title(const Words&)
{
    if (HWND dialog = Dialog()) {
        Record("title", WindowText(dialog));
        const LONG style = GetWindowLongA(dialog, GWL_STYLE);
        Record("caption", (style & WS_CAPTION) == WS_CAPTION ? "1" : "0");
    }
}

void Scenario::Text(const Words& words)
{
    if (HWND item = Item(words, 1))
        Record("text." + words[1], WindowText(item));
}

void Scenario::Box(const Words&)
{
    HWND box = m_target.FindMessageBox();
    if (box == nullptr) {
        Record("box", "none");
        return;
    }
    Record("box", "shown");
    Record("box.caption", WindowText(box));
    Record("box.text", WindowText(GetDlgItem(box, 0xFFFF)));
    std::string buttons;
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (HWND button = GetDlgItem(box, id); button != nullptr && IsWindowVisible(button))
            Append(buttons, WindowText(button));
    }
    Record("box.buttons", buttons);
}

void Scenario::About(const Words&)
{
    HWND about = m_target.FindAboutBox();
    if (about == nullptr) {
        Record("about", "none");
        return;
    }
    Record("about", "shown");
    Record("about.caption", WindowText(about));
    Record("about.version", WindowText(GetDlgItem(about, 1022)));
    Record("about.notice", WindowText(GetDlgItem(about, 1023)));
}

void Scenario::Rect(const Words& words)
{
    HWND window = words.size() > 1 ? Item(words, 1) : Dialog();
    if (window == nullptr)
        return;
    RECT rect = {};
    GetWindowRect(window, &rect);
    const std::string prefix = words.size() > 1 ? "rect." + words[1] : "rect";
    Record(prefix, std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                       std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top));
}

void Scenario::Layout(const Words& words)
{
    HWND dialog = Dialog();
    HWND item = Item(words, 1);
    if (dialog == nullptr || item == nullptr)
        return;
    // Where the control sits in the dialog's client area, and what is left
    // inside its frame: the numbers the dialog's layout is written in.
    RECT rect = {};
    GetWindowRect(item, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    RECT client = {};
    GetClientRect(item, &client);
    Record("layout." + words[1], std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                                     std::to_string(rect.right - rect.left) + "x" +
                                     std::to_string(rect.bottom - rect.top));
    Record("client." + words[1], std::to_string(client.right) + "x" + std::to_string(client.bottom));
}

void Scenario::Visible(const Words& words)
{
    if (HWND item = Item(words, 1))
        Record("visible." + words[1], IsWindowVisible(item) ? "1" : "0");
}

void Scenario::Enabled(const Words& words)
{
    if (HWND item = Item(words, 1))
        Record("enabled." + words[1], IsWindowEnabled(item) ? "1" : "0");
}

void Scenario::Checked(const Words& words)
{
    if (HWND item = Item(words, 1)) {
        const LRESULT state = SendMessageA(item, BM_GETCHECK, 0, 0);
        Record("checked." + words[1], state == BST_CHECKED ? "1" : "0");
    }
}

void Scenario::Focus(const Words&)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(m_target.ThreadId(), &info);
    Record("focus", info.hwndFocus != nullptr ? std::to_string(GetDlgCtrlID(info.hwndFocus)) : "none");
}

void Scenario::Combo(const Words& words)
{
    HWND combo = Item(words, 1);
    if (combo == nullptr)
        return;
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    std::string entries;
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        Append(entries, text);
    }
    Record("combo." + words[1], entries);
    const LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    Record("combo." + words[1] + ".selected", selected == CB_ERR ? "none" : std::to_string(selected));
}

void Scenario::Click(const Words& words)
{
    if (HWND item = Item(words, 1))
        PostMessageA(item, BM_CLICK, 0, 0);
}

void Scenario::Select(const Words& words)
{
    HWND combo = Item(words, 1);
    if (combo == nullptr)
        return;
    const std::string wanted = Rest(m_line, 2);
    const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[256] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        if (wanted == text) {
            SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            // A program's own CB_SETCURSEL sends no notification; a user's pick does.
            SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            return;
        }
    }
    Fail("no entry " + wanted);
}

void Scenario::Type(const Words& words)
{
    if (HWND item = Item(words, 1)) {
        const std::string text = Rest(m_line, 2);
        SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void Scenario::Answer(const Words& words)
{
    const std::string answer = words.size() > 1 ? words[1] : "";
    const int id = answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "cancel" ? IDCANCEL : IDOK;
    HWND box = m_target.FindMessageBox();
    if (box == nullptr)
        box = m_target.FindAboutBox();
    HWND button = box != nullptr ? GetDlgItem(box, id) : nullptr;
    if (button == nullptr) {
        Fail("no box with a " + answer + " button");
        return;
    }
    PostMessageA(button, BM_CLICK, 0, 0);
    if (!WaitFor([&] { return !IsWindow(box); }, m_timeout))
        Fail("box did not close");
}

void Scenario::Key(const Words& words)
{
    const std::string name = words.size() > 1 ? words[1] : "";
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(m_target.ThreadId(), &info);
    HWND target = info.hwndFocus != nullptr ? info.hwndFocus : info.hwndActive;
    if (target == nullptr) {
        Fail("no window has the focus");
        return;
    }
    if (name == "altf4") {
        // Alt held: context bit 29; the system turns it into SC_CLOSE.
        PostMessageA(target, WM_SYSKEYDOWN, VK_F4, 1 | (0x3E << 16) | (1 << 29));
        PostMessageA(target, WM_SYSKEYUP, VK_F4, 1 | (0x3E << 16) | (1 << 29) | (3u << 30));
        return;
    }
    for (const KeyStroke& key : kKeys) {
        if (name == key.name) {
            const LPARAM down = 1 | (key.scanCode << 16) | (key.extended ? 1 << 24 : 0);
            PostMessageA(target, WM_KEYDOWN, key.virtualKey, down);
            PostMessageA(target, WM_KEYUP, key.virtualKey, down | (3u << 30));
            return;
        }
    }
    Fail("unknown key " + name);
}

void Scenario::SysCommand(const Words& words)
{
    if (HWND dialog = Dialog())
        PostMessageA(dialog, WM_SYSCOMMAND, static_cast<WPARAM>(Number(words.size() > 1 ? words[1] : "0")), 0);
}

void Scenario::Invalidate(const Words&)
{
    if (HWND dialog = Dialog())
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Scenario::Pixels(const Words& words)
{
    HWND item = Item(words, 1);
    if (item == nullptr)
        return;
    RECT rect = {};
    GetWindowRect(item, &rect);
    // A fingerprint of what the control shows on screen, to compare states.
    HDC screen = GetDC(nullptr);
    unsigned long long hash = 1469598103934665603ull;
    for (LONG y = rect.top; y < rect.bottom; y += 2) {
        for (LONG x = rect.left; x < rect.right; x += 2) {
            hash ^= GetPixel(screen, x, y);
            hash *= 1099511628211ull;
        }
    }
    ReleaseDC(nullptr, screen);
    Record(words.size() > 2 ? words[2] : "pixels." + words[1], std::to_string(hash));
}

void Scenario::Progress(const Words& words)
{
    HWND bar = Item(words, 1);
    if (bar == nullptr)
        return;
    Record("progress.position", std::to_string(SendMessageA(bar, PBM_GETPOS, 0, 0)));
    Record("progress.upper", std::to_string(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)));
    Record("progress.visible", IsWindowVisible(bar) ? "1" : "0");
    for (const char* key : {"progress.highest", "progress.highest.upper"}) {
        if (const auto seen = m_seen.find(key); seen != m_seen.end())
            Record(key, seen->second);
    }
}

void Scenario::Track(const Words& words)
{
    m_trackedBar = words.size() > 1 ? Number(words[1]) : 0;
    m_trackedMaximum = -1;
    m_seen["progress.highest"] = "none";
    m_seen["progress.highest.upper"] = "none";
}

void Scenario::TrackProgress()
{
    HWND dialog = m_target.FindDialog();
    HWND bar = dialog != nullptr && m_trackedBar != 0 ? GetDlgItem(dialog, m_trackedBar) : nullptr;
    if (bar == nullptr || !IsWindowVisible(bar))
        return;
    const LRESULT position = SendMessageA(bar, PBM_GETPOS, 0, 0);
    const LRESULT upper = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
    if (position > m_trackedMaximum) {
        m_trackedMaximum = position;
        // The highest position seen while waiting, and the range it was in;
        // "progress" prints them.
        m_seen["progress.highest"] = std::to_string(position);
        m_seen["progress.highest.upper"] = std::to_string(upper);
    }
}

void Scenario::Ticks(const Words& words)
{
    HWND dialog = Dialog();
    if (dialog == nullptr)
        return;
    const int count = words.size() > 1 ? Number(words[1]) : 1;
    // What the poll timer would deliver, without waiting 2 s per tick.
    for (int i = 0; i < count; ++i) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(dialog, WM_TIMER, 7002, 0, SMTO_ABORTIFHUNG, 10000, &result);
    }
}

void Scenario::LeakCheck(const Words& words)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, m_target.ProcessId());
    if (process == nullptr) {
        Fail("cannot open the process");
        return;
    }
    const auto measure = [&](long long& gdiObjects, long long& commitKib) {
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
        gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
        // Wine fills in the commit charge of another process, not PrivateUsage.
        commitKib = static_cast<long long>(memory.PagefileUsage / 1024);
    };
    long long gdiBefore = 0, kibBefore = 0, gdiAfter = 0, kibAfter = 0;
    measure(gdiBefore, kibBefore);
    Ticks(words);
    measure(gdiAfter, kibAfter);
    CloseHandle(process);
    Record("gdiobjects.before", std::to_string(gdiBefore));
    Record("gdiobjects.growth", std::to_string(gdiAfter - gdiBefore));
    Record("commitkib.before", std::to_string(kibBefore));
    Record("commitkib.growth", std::to_string(kibAfter - kibBefore));
}

void Scenario::Signal(const Words& words)
{
    // A file in the sync folder tells the suite script to act (pull a card,
    // put it back); it answers with NAME.done, which this waits for.
    char directory[MAX_PATH] = ".";
    GetEnvironmentVariableA("VELTRANE_SYNC", directory, MAX_PATH);
    const std::string name = std::string(directory) + "\\" + (words.size() > 1 ? words[1] : "signal");
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Fail("cannot signal " + name);
        return;
    }
    CloseHandle(file);
    const std::string done = name + ".done";
    if (!WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, m_timeout))
        Fail("no answer to " + name);
}

void Scenario::DeviceChange(const Words& words)
{
    HWND dialog = Dialog();
    if (dialog == nullptr || words.size() < 3) {
        Fail("devicechange needs an event code and a drive letter");
        return;
    }
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (std::toupper(static_cast<unsigned char>(words[2][0])) - 'A');
    DWORD_PTR result = 0;
    // Sent, not posted: the system marshals the record only for sent messages.
    SendMessageTimeoutA(dialog, WM_DEVICECHANGE, static_cast<WPARAM>(Number(words[1])),
                        reinterpret_cast<LPARAM>(&volume), SMTO_ABORTIFHUNG, 10000, &result);
}

void Scenario::Broadcasts(const Words&)
{
    m_host.Pump();
    Record("announce.count", std::to_string(m_host.Announcements().size()));
    Record("announce", Join(m_host.Announcements()));
    Record("formatdone.count", std::to_string(m_host.FormatDone().size()));
    Record("formatdone", Join(m_host.FormatDone()));
}

void Scenario::Pid(const Words&)
{
    Record("pid", std::to_string(m_target.ProcessId()));
}

void Scenario::Screenshot(const Words& words)
{
    const std::string name = words.size() > 1 ? words[1] : "screen";
    char directory[MAX_PATH] = ".";
    GetEnvironmentVariableA("VELTRANE_SHOTS", directory, MAX_PATH);
    const std::string path = std::string(directory) + "\\" + name + ".bmp";
    if (!SaveScreenAsBitmap(path))
        Fail("cannot save " + path);
}

void Scenario::Snapshot(const Words& words)
{
    // snapshot NAME [dialog|about|box]: one window, for the reference pictures.
    const std::string which = words.size() > 2 ? words[2] : "dialog";
    HWND window = which == "about" ? m_target.FindAboutBox() : which == "box" ? m_target.FindMessageBox() : Dialog();
    if (window == nullptr) {
        Fail("no " + which + " to take a picture of");
        return;
    }
    RECT area = {};
    GetWindowRect(window, &area);
    char directory[MAX_PATH] = ".";
    GetEnvironmentVariableA("VELTRANE_SHOTS", directory, MAX_PATH);
    const std::string path = std::string(directory) + "\\" + (words.size() > 1 ? words[1] : "window") + ".bmp";
    if (!SaveScreenAreaAsBitmap(path, area))
        Fail("cannot save " + path);
}

void Scenario::Freeze(const Words& words)
{
    // freeze BAR AT: once the bar has reached AT, the job stands still.
    HWND bar = Item(words, 1);
    if (bar == nullptr)
        return;
    const LRESULT at = words.size() > 2 ? Number(words[2]) : 1;
    if (!WaitFor([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) >= at; }, m_timeout)) {
        Fail("the bar never reached " + std::to_string(at));
        return;
    }
    m_target.SuspendWorkers(true);
}

void Scenario::Thaw(const Words&)
{
    m_target.SuspendWorkers(false);
}

void Scenario::MoveTo(const Words& words)
{
    if (HWND dialog = Dialog()) {
        SetWindowPos(dialog, nullptr, Number(words.size() > 1 ? words[1] : "0"),
                     Number(words.size() > 2 ? words[2] : "0"), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Scenario::StartRestricted(const Words&)
{
    // The launcher beside the driver runs the program with Administrators
    // deny-only; it ends when the program's first process ends.
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string launcher(path);
    launcher.resize(launcher.find_last_of("\\/") + 1);
    launcher += "restricted-launch.exe";
    std::string arguments = "\"" + m_executable + "\"";
    if (const std::string rest = Rest(m_line, 1); !rest.empty())
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

void Scenario::Expect(const Words& words)
{
    if (words.size() < 3) {
        Fail("expect needs a key and an operator");
        return;
    }
    const std::string& key = words[1];
    const std::string& op = words[2];
    const std::string expected = Rest(m_line, 3);
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
    }
    else
        Fail("unknown operator " + op);
    if (!holds)
        Fail(key + " is \"" + actual + "\", expected " + op + " \"" + expected + "\"");
}

void Scenario::Kill(const Words&)
{
    m_target.Kill();
}

void Scenario::PostCommand(const Words& words)
{
    // WM_COMMAND as a control's click sends it; the id need not be a control.
    if (HWND dialog = Dialog())
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(Number(words.size() > 1 ? words[1] : "0"), BN_CLICKED), 0);
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
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 10000, &answer)) {
        Fail("no answer to WM_QUERYENDSESSION");
        return;
    }
    Record("endsession", std::to_string(answer));
}

void Scenario::IsRunning(const Words&)
{
    Record("running", m_target.Running() ? "1" : "0");
}

// What the user sees: each command reads the screen and records it under a
// key for "expect". Keys carry the control as the line names it
// (`text IDC_STATUS_HINT` records text.IDC_STATUS_HINT).
#include <string>
#include <utility>

#include "boxes.h"
#include "controls.h"
#include "driver_files.h"
#include "keyboard.h"
#include "scenario.h"
#include "screenshot.h"

namespace {

// Long enough for Wine to have flushed a painted surface to X.
constexpr DWORD kSettleMilliseconds = 100;

std::string Flag(bool value)
{
    return value ? "1" : "0";
}

// "left,top widthxheight", the form the layout is written in.
std::string Placement(const RECT& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + " " + std::to_string(rect.right - rect.left) +
           "x" + std::to_string(rect.bottom - rect.top);
}

BOOL CALLBACK NoteChildPaint(HWND child, LPARAM pending)
{
    if (!GetUpdateRect(child, nullptr, FALSE))
        return TRUE;
    *reinterpret_cast<bool*>(pending) = true;
    return FALSE;
}

// Whether the window or a control in it still has something to paint.
bool HasPendingPaint(HWND window)
{
    bool pending = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    if (!pending)
        EnumChildWindows(window, NoteChildPaint, reinterpret_cast<LPARAM>(&pending));
    return pending;
}

}  // namespace

// A picture shows what the program has painted: its thread has taken what
// was sent to it, and nothing in the window waits to be painted.
void Scenario::WaitPainted(HWND window)
{
    const bool painted = WaitFor(
        [&] {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &ignored);
            return !HasPendingPaint(window);
        },
        m_timeout);
    if (!painted)
        Fail("the window never finished painting");
}

void Scenario::Title(const Words&)
{
    if (HWND dialog = Dialog()) {
        Record("title", WindowText(dialog));
        const LONG style = GetWindowLongA(dialog, GWL_STYLE);
        Record("caption", Flag((style & WS_CAPTION) == WS_CAPTION));
    }
}

void Scenario::Text(const Words& words)
{
    if (HWND control = Control(words, 1))
        Record("text." + words[1], WindowText(control));
}

void Scenario::Box(const Words&)
{
    HWND box = m_target.FindMessageBox();
    if (box == nullptr) {
        Record("box", "none");
        return;
    }
    const MessageBoxContents contents = ReadMessageBox(box);
    Record("box", "shown");
    Record("box.caption", contents.caption);
    Record("box.text", contents.text);
    Record("box.buttons", contents.buttons);
}

void Scenario::About(const Words&)
{
    HWND about = m_target.FindAboutBox();
    if (about == nullptr) {
        Record("about", "none");
        return;
    }
    const AboutBoxContents contents = ReadAboutBox(about);
    Record("about", "shown");
    Record("about.caption", contents.caption);
    Record("about.version", contents.version);
    Record("about.notice", contents.notice);
}

void Scenario::Rect(const Words& words)
{
    HWND window = words.size() > 1 ? Control(words, 1) : Dialog();
    if (window == nullptr)
        return;
    RECT rect = {};
    GetWindowRect(window, &rect);
    Record(words.size() > 1 ? "rect." + words[1] : "rect", Placement(rect));
}

void Scenario::Layout(const Words& words)
{
    HWND control = Control(words, 1);
    HWND dialog = control != nullptr ? GetParent(control) : nullptr;
    if (dialog == nullptr)
        return;
    // The numbers the dialog's layout is written in.
    Record("layout." + words[1], Placement(RectInDialog(dialog, control)));
    const SIZE client = ClientSize(control);
    Record("client." + words[1], std::to_string(client.cx) + "x" + std::to_string(client.cy));
}

void Scenario::Visible(const Words& words)
{
    if (HWND control = Control(words, 1))
        Record("visible." + words[1], Flag(IsWindowVisible(control)));
}

void Scenario::Enabled(const Words& words)
{
    if (HWND control = Control(words, 1))
        Record("enabled." + words[1], Flag(IsWindowEnabled(control)));
}

void Scenario::Checked(const Words& words)
{
    if (HWND control = Control(words, 1))
        Record("checked." + words[1], Flag(IsChecked(control)));
}

void Scenario::Focus(const Words&)
{
    HWND focus = FocusedWindow(m_target.ThreadId());
    Record("focus", focus != nullptr ? m_names.NameOf(GetDlgCtrlID(focus)) : "none");
}

void Scenario::Combo(const Words& words)
{
    HWND combo = Control(words, 1);
    if (combo == nullptr)
        return;
    std::string entries;
    for (const std::string& entry : ComboEntries(combo)) {
        if (!entries.empty())
            entries += ',';
        entries += entry;
    }
    Record("combo." + words[1], entries);
    const auto selected = ComboSelection(combo);
    Record("combo." + words[1] + ".selected", selected ? std::to_string(*selected) : "none");
}

void Scenario::Pixels(const Words& words)
{
    HWND control = Control(words, 1);
    if (control == nullptr)
        return;
    WaitPainted(GetParent(control));
    Record(words.size() > 2 ? words[2] : "pixels." + words[1], std::to_string(PixelFingerprint(control)));
}

void Scenario::Progress(const Words& words)
{
    HWND bar = Control(words, 1);
    if (bar == nullptr)
        return;
    Record("progress.position", std::to_string(ProgressPosition(bar)));
    Record("progress.upper", std::to_string(ProgressUpper(bar)));
    Record("progress.visible", Flag(IsWindowVisible(bar)));
    for (const char* key : {"progress.highest", "progress.highest.upper"}) {
        if (const auto seen = m_seen.find(key); seen != m_seen.end())
            Record(key, seen->second);
    }
}

void Scenario::Track(const Words& words)
{
    m_trackedBar = 0;
    if (words.size() > 1) {
        const auto id = ControlId(words, 1);
        if (!id)
            return;
        m_trackedBar = *id;
    }
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
    const LRESULT position = ProgressPosition(bar);
    if (position > m_trackedMaximum) {
        m_trackedMaximum = position;
        // The highest position seen while waiting, and the range it was in;
        // "progress" prints them.
        m_seen["progress.highest"] = std::to_string(position);
        m_seen["progress.highest.upper"] = std::to_string(ProgressUpper(bar));
    }
}

void Scenario::Screenshot(const Words& words)
{
    const std::string path = ShotPath(words.size() > 1 ? words[1] : "screen");
    if (HWND dialog = m_target.FindDialog())
        WaitPainted(dialog);
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
    WaitPainted(window);
    RECT area = {};
    GetWindowRect(window, &area);
    // What a window has painted reaches the screen a moment later (Wine hands
    // its surface to X when the thread next idles, X maps a new window in its
    // own time): the picture is the first that a second one agrees with.
    ScreenPicture picture = CaptureScreenArea(area);
    const bool settled = WaitFor(
        [&] {
            ::Sleep(kSettleMilliseconds);
            ScreenPicture again = CaptureScreenArea(area);
            const bool same = again.pixels == picture.pixels;
            picture = std::move(again);
            return same;
        },
        m_timeout);
    if (!settled)
        Fail("the window's picture never settled");
    const std::string path = ShotPath(words.size() > 1 ? words[1] : "window");
    if (!SaveAsBitmap(path, picture))
        Fail("cannot save " + path);
}

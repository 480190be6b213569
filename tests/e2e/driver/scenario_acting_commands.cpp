// What the user and the system do to the program: clicks, picks, typing,
// keys, answers to boxes, and the messages the system would send.
#include <string>

#include "boxes.h"
#include "controls.h"
#include "dialog_messages.h"
#include "keyboard.h"
#include "scenario.h"
#include "script_line.h"

namespace {

// The button that answers a box: yes, no, cancel, else OK.
int AnswerButton(const std::string& answer)
{
    return answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "cancel" ? IDCANCEL : IDOK;
}

}  // namespace

void Scenario::Click(const Words& words)
{
    if (HWND button = Control(words, 1))
        ClickButton(button);
}

void Scenario::Select(const Words& words)
{
    HWND combo = Control(words, 1);
    if (combo == nullptr)
        return;
    const std::string wanted = TextAfterWords(m_line, 2);
    if (!PickComboEntry(combo, wanted))
        Fail("no entry " + wanted);
}

void Scenario::Type(const Words& words)
{
    if (HWND control = Control(words, 1))
        SetText(control, TextAfterWords(m_line, 2));
}

void Scenario::Answer(const Words& words)
{
    const std::string answer = words.size() > 1 ? words[1] : "";
    HWND box = m_target.FindMessageBox();
    if (box == nullptr)
        box = m_target.FindAboutBox();
    if (box == nullptr || !PressBoxButton(box, AnswerButton(answer))) {
        Fail("no box with a " + answer + " button");
        return;
    }
    if (!WaitFor([&] { return !IsWindow(box); }, m_timeout))
        Fail("box did not close");
}

void Scenario::Dismiss(const Words& words)
{
    // Ways a box ends without a button of its own being pressed.
    const std::string how = words.size() > 1 ? words[1] : "";
    HWND box = m_target.FindMessageBox();
    if (box == nullptr) {
        Fail("no box to dismiss");
        return;
    }
    if (how == "close")
        PostMessageA(box, WM_CLOSE, 0, 0);
    else if (how == "cancel")
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    else if (how == "sysclose")
        PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    else {
        Fail("dismiss takes close, cancel or sysclose, not " + how);
        return;
    }
    if (!WaitFor([&] { return !IsWindow(box); }, m_timeout))
        Fail("box did not close");
}

void Scenario::Key(const Words& words)
{
    const std::string name = words.size() > 1 ? words[1] : "";
    HWND target = KeyboardTarget(m_target.ThreadId());
    if (target == nullptr) {
        Fail("no window has the focus");
        return;
    }
    if (!PostKey(target, name))
        Fail("unknown key " + name);
}

void Scenario::SysCommand(const Words& words)
{
    const auto command = Number(words, 1, 0);
    if (!command)
        return;
    if (HWND dialog = Dialog())
        PostSysCommand(dialog, static_cast<WPARAM>(*command));
}

void Scenario::PostCommand(const Words& words)
{
    const auto id = words.size() > 1 ? ControlId(words, 1) : std::optional<int>(0);
    if (!id)
        return;
    if (HWND dialog = Dialog())
        PostControlCommand(dialog, *id);
}

void Scenario::Ticks(const Words& words)
{
    const auto count = Number(words, 1, 1);
    if (!count)
        return;
    if (HWND dialog = Dialog())
        SendPollTicks(dialog, static_cast<int>(*count));
}

void Scenario::DeviceChange(const Words& words)
{
    HWND dialog = Dialog();
    if (dialog == nullptr || words.size() < 3) {
        Fail("devicechange needs an event code and a drive letter");
        return;
    }
    if (const auto event = Number(words, 1, 0))
        SendVolumeChange(dialog, static_cast<WPARAM>(*event), words[2][0]);
}

void Scenario::Invalidate(const Words&)
{
    if (HWND dialog = Dialog())
        RepaintAll(dialog);
}

void Scenario::MoveTo(const Words& words)
{
    const auto left = Number(words, 1, 0);
    const auto top = Number(words, 2, 0);
    if (!left || !top)
        return;
    if (HWND dialog = Dialog())
        MoveWindowTo(dialog, static_cast<int>(*left), static_cast<int>(*top));
}

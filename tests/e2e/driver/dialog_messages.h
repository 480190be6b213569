// What the system and the host send the dialog, delivered directly so that a
// scenario need not wait for the event behind it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

void PostSysCommand(HWND dialog, WPARAM command);
// WM_COMMAND as a control's click sends it; the id need not be a control's.
void PostControlCommand(HWND dialog, int id);
// `count` ticks of the card poll timer, without waiting 2 s for each.
void SendPollTicks(HWND dialog, int count);
// A tick of a timer that is not the poll's, posted behind everything already
// posted to the dialog's thread, and the count of timer ticks the dialog
// reports handled: once the count moves past its value before the post,
// everything posted earlier was handled, and nothing was polled for it.
void PostQuietTick(HWND dialog);
std::uintptr_t TimerTicksHandled(HWND dialog);
// A volume arrival or removal (`event`, a DBT_ code) for one drive letter.
void SendVolumeChange(HWND dialog, WPARAM event, char driveLetter);
// The dialog's answer to WM_QUERYENDSESSION, or nothing when it gave none.
std::optional<DWORD_PTR> QueryEndSession(HWND dialog);
void RepaintAll(HWND dialog);
void MoveWindowTo(HWND dialog, int left, int top);

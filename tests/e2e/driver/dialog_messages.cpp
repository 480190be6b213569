#include "dialog_messages.h"

#include <dbt.h>

#include <cctype>

namespace {

// The id of the dialog's card poll timer.
constexpr WPARAM kPollTimerId = 7002;
// A timer id the dialog does not poll for.
constexpr WPARAM kQuietTimerId = 1;
// Where the dialog reports how many timer ticks it has handled.
constexpr char kTimerTicksProperty[] = "Veltrane.TimerTicks";
// How long a sent message may take before the dialog counts as hung.
constexpr UINT kSendTimeoutMilliseconds = 10000;

}  // namespace

void PostSysCommand(HWND dialog, WPARAM command)
{
    PostMessageA(dialog, WM_SYSCOMMAND, command, 0);
}

void PostControlCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void SendPollTicks(HWND dialog, int count)
{
    for (int i = 0; i < count; ++i) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(dialog, WM_TIMER, kPollTimerId, 0, SMTO_ABORTIFHUNG, kSendTimeoutMilliseconds, &result);
    }
}

void PostQuietTick(HWND dialog)
{
    PostMessageA(dialog, WM_TIMER, kQuietTimerId, 0);
}

std::uintptr_t TimerTicksHandled(HWND dialog)
{
    return reinterpret_cast<std::uintptr_t>(GetPropA(dialog, kTimerTicksProperty));
}

void SendVolumeChange(HWND dialog, WPARAM event, char driveLetter)
{
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (std::toupper(static_cast<unsigned char>(driveLetter)) - 'A');
    DWORD_PTR result = 0;
    // Sent, not posted: the system marshals the record only for sent messages.
    SendMessageTimeoutA(dialog, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume), SMTO_ABORTIFHUNG,
                        kSendTimeoutMilliseconds, &result);
}

std::optional<DWORD_PTR> QueryEndSession(HWND dialog)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(dialog, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG,
                             kSendTimeoutMilliseconds, &answer))
        return std::nullopt;
    return answer;
}

void RepaintAll(HWND dialog)
{
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void MoveWindowTo(HWND dialog, int left, int top)
{
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

#include "guard/stop_signals.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t received = 0;
// Written only while stop signals are blocked, so the handler never sees
// a half-made setting.
const char* volatile atOnceProgram = nullptr;
const char* volatile atOnceNote = nullptr;
volatile std::sig_atomic_t atOnceStatus = 0;

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void WriteAll(const char* text)
{
    std::size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t count = ::write(STDERR_FILENO, text, left);
        if (count <= 0) {
            return;
        }
        text += count;
        left -= static_cast<std::size_t>(count);
    }
}

// Async-signal-safe: write and _exit only.
void EndNow()
{
    WriteAll(atOnceProgram);
    WriteAll(": ");
    WriteAll(atOnceNote);
    WriteAll("\n");
    ::_exit(atOnceStatus);
}

void OnStopSignal(int signal)
{
    received = signal;
    if (atOnceNote != nullptr) {
        EndNow();
    }
}

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kStopSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

}  // namespace

void IgnoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // A write in flight finishes; the job looks at the record between writes.
    action.sa_flags = SA_RESTART;
    action.sa_mask = StopSignalSet();
    for (const int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
    }
}

int StopSignal()
{
    return received;
}

void StopAtOnce(const char* program, const char* note, int status)
{
    const sigset_t set = StopSignalSet();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &set, &previous);
    atOnceProgram = program;
    atOnceNote = note;
    atOnceStatus = status;
    if (note != nullptr && received != 0) {
        EndNow();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

#include "cli/progress_display.h"

#include "cli/progress_text.h"

#include <unistd.h>

namespace {

// Often enough for the time left to move, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kRedrawInterval{200};

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* output, std::string activity, std::uint64_t totalBytes)
    : output_(output), activity_(std::move(activity)), totalBytes_(totalBytes),
      terminal_(::isatty(::fileno(output)) != 0), start_(std::chrono::steady_clock::now()), lastDrawn_(start_)
{
}

double ProgressDisplay::ElapsedSeconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressDisplay::Update(std::uint64_t doneBytes)
{
    const auto now = std::chrono::steady_clock::now();
    if (!terminal_ || (drawn_ && now - lastDrawn_ < kRedrawInterval && doneBytes < totalBytes_)) {
        return;
    }
    drawn_ = true;
    lastDrawn_ = now;
    // Erase to the end of the line: the speed's width varies.
    std::fprintf(output_, "\r%s\033[K", ProgressLine(activity_, doneBytes, totalBytes_, ElapsedSeconds()).c_str());
    std::fflush(output_);
}

void ProgressDisplay::Finish(std::string_view doneText, std::uint64_t doneBytes)
{
    if (terminal_) {
        drawn_ = false;
        Update(doneBytes);
        std::fputc('\n', output_);
    }
    std::fprintf(output_, "%.*s: %s\n", static_cast<int>(doneText.size()), doneText.data(),
                 PassSummary(doneBytes, ElapsedSeconds()).c_str());
    std::fflush(output_);
}

#include "cli/progress_display.h"

#include "cli/progress_text.h"
#include "cli/terminal.h"

namespace {

// Often enough for the time left to move, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kRedrawInterval{200};

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* output, std::string activity, std::uint64_t totalBytes)
    : output_(output), activity_(std::move(activity)), totalBytes_(totalBytes), terminal_(IsTerminal(output)),
      start_(std::chrono::steady_clock::now()), lastDrawn_(start_)
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
    // Blanks over what a longer line left: the speed's width varies, and a
    // Windows console takes no escape sequences.
    const std::string line = ProgressLine(activity_, doneBytes, totalBytes_, ElapsedSeconds());
    const std::size_t blanks = drawnWidth_ > line.size() ? drawnWidth_ - line.size() : 0;
    std::fprintf(output_, "\r%s%*s", line.c_str(), static_cast<int>(blanks), "");
    drawnWidth_ = line.size();
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

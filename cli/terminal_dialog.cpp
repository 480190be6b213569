#include "cli/terminal_dialog.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <unistd.h>

namespace {

constexpr int kBarCells = 40;

}  // namespace

bool AskYesNo(std::string_view question)
{
    std::fprintf(stderr, "%.*s [y/N] ", static_cast<int>(question.size()), question.data());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::fputc('\n', stderr);
        return false;
    }
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char character) { return static_cast<char>(std::tolower(character)); });
    return answer == "y" || answer == "yes";
}

TerminalDialog::TerminalDialog(std::FILE* output, Answers answers)
    : output_(output), answers_(answers), terminal_(::isatty(::fileno(output)) != 0)
{
}

void TerminalDialog::ShowMessage(JobMessage message)
{
    switch (message) {
    case JobMessage::writeProtected:
        std::fputs("Disk is Write-Protect !!!\n", output_);
        break;
    case JobMessage::fail:
        std::fputs("Fail: the device could not be opened or measured\n", output_);
        break;
    }
}

void TerminalDialog::ShowText(std::string_view text)
{
    std::fprintf(output_, "%.*s\n", static_cast<int>(text.size()), text.data());
}

bool TerminalDialog::ConfirmFormat(std::string_view warning)
{
    if (answers_ == Answers::assumeYes) {
        return true;
    }
    return AskYesNo(warning);
}

void TerminalDialog::ShowProgressBar()
{
    shownPercent_ = -1;
    if (!terminal_) {
        std::fprintf(output_, "Erasing %lld blocks of 512 KiB ...\n", static_cast<long long>(upper_ - lower_));
    }
}

void TerminalDialog::SetBarRange(std::int64_t lower, std::int64_t upper)
{
    lower_ = lower;
    upper_ = upper;
}

void TerminalDialog::SetBarPosition(std::int64_t position)
{
    if (terminal_) {
        DrawBar(position);
    } else if (position == upper_) {
        std::fputs("Erase pass done\n", output_);
    }
}

void TerminalDialog::DrawBar(std::int64_t position)
{
    const std::int64_t span = std::max<std::int64_t>(upper_ - lower_, 1);
    const std::int64_t done = std::clamp<std::int64_t>(position - lower_, 0, span);
    const int percent = static_cast<int>(done * 100 / span);
    // Redraw only when the figure changes: a large card has millions of blocks.
    if (percent == shownPercent_ && position != upper_) {
        return;
    }
    shownPercent_ = percent;
    const int filled = static_cast<int>(done * kBarCells / span);
    std::fprintf(output_, "\rErasing [%.*s%*s] %3d%%", filled, "########################################",
                 kBarCells - filled, "", percent);
    if (position == upper_) {
        std::fputc('\n', output_);
    }
    std::fflush(output_);
}

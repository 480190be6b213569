#include "cli/terminal_dialog.h"

#include "cli/terminal.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iostream>

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

TerminalDialog::TerminalDialog(std::FILE* output, Answers answers, const VolumeWrites& writes)
    : output_(output), answers_(answers), writes_(writes)
{
}

void TerminalDialog::ShowMessage(JobMessage message)
{
    // The job's boxes name no cause; a refused write knows its own.
    switch (writes_.refusal) {
    case VolumeWrites::Refusal::stopped:
        // The program reports the stop, with how far the job got.
        return;
    case VolumeWrites::Refusal::notPermitted:
        std::fprintf(output_, "Permission error: the card cannot be written: %s\n", std::strerror(writes_.error));
        return;
    case VolumeWrites::Refusal::shortened:
        std::fputs("Fail: the card shrank or was removed while it was written\n", output_);
        return;
    case VolumeWrites::Refusal::failed:
        std::fprintf(output_, "Fail: a write to the card failed: %s\n", writes_.reason.c_str());
        return;
    case VolumeWrites::Refusal::writeProtected:
    case VolumeWrites::Refusal::none:
        break;
    }
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
    if (!IsTerminal(output_)) {
        std::fprintf(output_, "Erasing %lld blocks of 512 KiB ...\n", static_cast<long long>(upper_ - lower_));
    }
    progress_.emplace(output_, "Erasing", BytesOf(upper_));
}

void TerminalDialog::SetBarRange(std::int64_t lower, std::int64_t upper)
{
    lower_ = lower;
    upper_ = upper;
}

void TerminalDialog::SetBarPosition(std::int64_t position)
{
    if (!progress_) {
        return;
    }
    if (position == upper_) {
        progress_->Finish("Erase pass done", BytesOf(position));
        progress_.reset();
    } else {
        progress_->Update(BytesOf(position));
    }
}

std::uint64_t TerminalDialog::BytesOf(std::int64_t position) const
{
    return static_cast<std::uint64_t>(std::max<std::int64_t>(position - lower_, 0)) * kEraseBlockStepBytes;
}

// The format job's dialog on a terminal: its message boxes become lines on
// stderr, its progress bar a bar redrawn in place when stderr is a terminal
// and a line at the start and the end of the erase pass otherwise.
#pragma once

#include "format/format_job.h"

#include <cstdio>
#include <string>

// Asks a yes/no question on stderr and reads the answer from stdin; only
// "y" or "yes" (any case) is yes, end of input is no.
bool AskYesNo(std::string_view question);

class TerminalDialog : public FormatJobDialog {
public:
    enum class Answers { ask, assumeYes };

    TerminalDialog(std::FILE* output, Answers answers);

    void ShowMessage(JobMessage message) override;
    void ShowText(std::string_view text) override;
    bool ConfirmFormat(std::string_view warning) override;
    void ShowProgressBar() override;
    void SetBarRange(std::int64_t lower, std::int64_t upper) override;
    void SetBarPosition(std::int64_t position) override;
    // Nothing queues up for a terminal between blocks.
    void PumpPendingMessages() override {}

private:
    void DrawBar(std::int64_t position);

    std::FILE* output_;
    Answers answers_;
    bool terminal_;
    std::int64_t lower_ = 0;
    std::int64_t upper_ = 0;
    int shownPercent_ = -1;
};

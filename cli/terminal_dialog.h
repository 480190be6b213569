// The format job's dialog on a terminal: its message boxes become lines on
// stderr, its progress bar a line with speed and time left redrawn in place
// when stderr is a terminal, and a line at the start and the end of the
// erase pass either way.
#pragma once

#include "cli/progress_display.h"
#include "cli/volume_writes.h"
#include "format/format_job.h"

#include <cstdio>
#include <optional>
#include <string>

// Asks a yes/no question on stderr and reads the answer from stdin; only
// "y" or "yes" (any case) is yes, end of input is no.
bool AskYesNo(std::string_view question);

class TerminalDialog : public FormatJobDialog {
public:
    enum class Answers { ask, assumeYes };

    // writes: the job's volumes' record, which says why a write failed
    // where the job's message boxes cannot.
    TerminalDialog(std::FILE* output, Answers answers, const VolumeWrites& writes);

    void ShowMessage(JobMessage message) override;
    void ShowText(std::string_view text) override;
    bool ConfirmFormat(std::string_view warning) override;
    void ShowProgressBar() override;
    void SetBarRange(std::int64_t lower, std::int64_t upper) override;
    void SetBarPosition(std::int64_t position) override;
    // Nothing queues up for a terminal between blocks.
    void PumpPendingMessages() override {}

private:
    // The job counts the pass in 512 KiB blocks.
    std::uint64_t BytesOf(std::int64_t position) const;

    std::FILE* output_;
    Answers answers_;
    const VolumeWrites& writes_;
    std::int64_t lower_ = 0;
    std::int64_t upper_ = 0;
    std::optional<ProgressDisplay> progress_;
};

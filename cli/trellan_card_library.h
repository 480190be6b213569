// The card library for the format job on Linux: trellan's builders on a
// file device opened on the job's path, after the job has closed its own.
#pragma once

#include "format/format_job.h"
#include "trellan/format_status.h"
#include "trellan/oem_code_pages.h"

#include <string>

class TrellanCardLibrary : public CardLibrary {
public:
    // The job hands over the label's bytes; they are read as UTF-8, and FAT
    // stores them in codePage.
    TrellanCardLibrary(std::string path, trellan::OemCodePage codePage) : path_(std::move(path)), codePage_(codePage) {}

    // driveLetter is the job's token for the one path this library formats.
    int Build(CardBuilder builder, char driveLetter, char* label) override;

    // Why the last Build failed, for a person; empty after a success.
    const std::string& FailureText() const { return failureText_; }

private:
    std::string path_;
    trellan::OemCodePage codePage_;
    std::string failureText_;
};


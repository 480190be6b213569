// The card library for the format job on Linux: trellan's builders on a
// file device over the claim's one open of the card, the job's own.
#pragma once

#include "format/format_job.h"
#include "trellan/format_status.h"
#include "trellan/oem_code_pages.h"

#include <optional>
#include <string>

class TrellanCardLibrary : public CardLibrary {
public:
    struct Options {
        trellan::OemCodePage codePage = trellan::OemCodePage::cp850;
        // The card's real capacity, when it reports more: the layout fits it.
        std::optional<std::uint64_t> lengthLimit;
        // Read the card back before building: the erase left only zeros.
        bool verifyErase = false;
    };

    // The job hands over the label's bytes; they are read as UTF-8, and FAT
    // stores them in the code page.
    // descriptor: the claim's, which stays open after the library.
    TrellanCardLibrary(int descriptor, Options options) : descriptor_(descriptor), options_(options) {}

    // driveLetter is the job's token for the one card this library formats.
    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>& oemParameters) override;

    // Why the last Build failed, for a person; empty after a success.
    const std::string& FailureText() const { return failureText_; }
    // The last Build failed because the card did not keep the erase.
    bool CardFaulty() const { return cardFaulty_; }

private:
    bool VerifyErase(std::uint64_t lengthBytes);

    int descriptor_;
    Options options_;
    std::string failureText_;
    bool cardFaulty_ = false;
};

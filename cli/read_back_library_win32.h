// Trellan.dll's builders for veltrane-format.exe, with --verify's read-back
// of the Complete erase before the file system is built.
#pragma once

#include "format/format_job.h"

#include <string>

class ReadBackLibrary : public CardLibrary {
public:
    enum class ReadBack { none, beforeBuild };

    ReadBackLibrary(CardLibrary& builders, ReadBack readBack) : builders_(builders), readBack_(readBack) {}

    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>& oemParameters) override;

    // Why the last Build failed, when the read-back knows; else empty.
    const std::string& FailureText() const { return failureText_; }
    // The last Build failed because the card did not keep the erase.
    bool CardFaulty() const { return cardFaulty_; }

private:
    bool VerifyErase(char driveLetter);

    CardLibrary& builders_;
    ReadBack readBack_;
    std::string failureText_;
    bool cardFaulty_ = false;
};

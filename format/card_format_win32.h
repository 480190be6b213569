// The format job on Win32, for the dialog's worker thread: the card behind a
// drive letter, the card library's builders in Trellan.dll and the system's
// own exFAT answer. Knows nothing of the dialog but what the job shows.
#pragma once

#include "format/format_job.h"

// The card library's builders in Trellan.dll.
class TrellanLibrary : public CardLibrary {
public:
    int Build(trellan::Builder builder, char driveLetter, char* label,
              const std::optional<trellan::ExfatOemSector>& oemParameters) override;
};

// Returns a FormatResult.
int FormatCard(FormatJobInputs inputs, FormatJobDialog& dialog);
// The same job with a library of the caller's, one that does more around
// TrellanLibrary's build (the command line's read-back of the erase).
int FormatCard(FormatJobInputs inputs, FormatJobDialog& dialog, CardLibrary& library);

// The card in the drive now, as the job's inputs hold it; nullopt when no
// card answers.
std::optional<CardSample> SampleDriveCard(char driveLetter);

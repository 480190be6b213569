// One format of a card, from the user's choices to the library's answer, as
// a portable sequence over the volume, the dialog as the job sees it, and
// the card library. The dialog's FormatDrive runs it on the worker thread.
#pragma once

#include "drives/raw_volume.h"
#include "format/card_sample.h"
#include "format/format_plan.h"
#include "res/resource.h"
#include "trellan/exfat_oem_parameters.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

enum FormatResult : int {
    FORMAT_FAILED = 0,
    FORMAT_DONE = 1,
    FORMAT_CANCELLED = 2,  // the exFAT warning was declined; nothing was written
};

// The user's choices, read once when the job starts: the controls are
// disabled for the whole job, so a later read would give the same values.
struct FormatJobInputs {
    std::optional<char> driveLetter;  // nullopt: no drive entry selected
    // As read from the edit, NUL-terminated: in the system's ANSI code page,
    // or, for a label that page cannot hold, kUtf8LabelMark and UTF-8, so
    // that 15 characters of any script fit (4 bytes each at most).
    std::array<char, 64> label{};
    CardType cardType = CardType::none;
    EraseMode eraseMode = EraseMode::none;
    // The card as it was when the user was asked; the job formats that card
    // only. nullopt: no card answered, and nothing is formatted.
    std::optional<CardSample> card;
};

// Opens a label handed to the library in UTF-8 rather than the ANSI code
// page: the UTF-8 byte-order mark, which no typed ANSI label begins with.
inline constexpr std::string_view kUtf8LabelMark = "\xEF\xBB\xBF";

// Failures of the job with a text of their own (the dialog's ShowText).
inline constexpr std::string_view kCardChangedText =
    "The card in the drive is not the one you agreed to erase. Nothing has been written to it.";
inline constexpr std::string_view kCardChangedDuringEraseText =
    "The card was changed during the erase. No file system has been written.";
inline constexpr std::string_view kSectorSizeText =
    "The card's sectors are not 512 bytes long, and it cannot be formatted. Nothing has been written to it.";
inline constexpr std::string_view kCardInUseText =
    "The card is in use. Close the programs using the card, then try again. Nothing has been written to it.";
inline constexpr std::string_view kCardFormattedElsewhereText =
    "The card is being formatted by another program. Nothing has been written to it.";
inline constexpr std::string_view kCardNotWholeText =
    "Only a partition of the card can be reached, not the whole card. Nothing has been written to it.";

inline constexpr std::string_view kCardUnreadableText = "The card could not be read. Nothing has been written to it.";
inline constexpr std::string_view kBuildFailedText =
    "The file system could not be written to the card. The card has not been formatted.";
inline constexpr std::string_view kOldLayoutShownText =
    "The card has been formatted, but Windows still shows the card's old layout. Take the card out and insert it "
    "again before you use it.";

// Why a transfer on the card failed, in words; and the job's text for a
// write that failed so, at the sector it began at.
std::string_view WriteFailureReason(WriteFailure failure);
std::string WriteFailureText(WriteFailure failure, std::uint64_t sector);

// Message boxes of the job, by their string-table ids (MB_OK).
enum class JobMessage : unsigned { fail = IDS_FAIL, writeProtected = IDS_WRITE_PROTECT };

// Zeroes sector 0 of the open volume as a trial: true when the write does
// not take all 512 bytes.
bool IsWriteProtected(RawVolume& volume);

// What the job shows through the dialog and asks of it.
class FormatJobDialog {
public:
    virtual ~FormatJobDialog() = default;

    // The trial write, on the job's own handle inside its claim; the dialog
    // answers it with its IsWriteProtected.
    virtual bool IsWriteProtected(RawVolume& volume) { return ::IsWriteProtected(volume); }

    // Every box of these two ends the job: nothing is written after it.
    virtual void ShowMessage(JobMessage message) = 0;
    // A box with the program's title and this text (MB_OK). A dialog that
    // has no free text shows the failure message instead.
    virtual void ShowText(std::string_view) { ShowMessage(JobMessage::fail); }
    // A Yes/No box with the exclamation icon; true when the user pressed Yes.
    virtual bool ConfirmFormat(std::string_view warning) = 0;
    virtual void ShowProgressBar() = 0;
    virtual void SetBarRange(std::int64_t lower, std::int64_t upper) = 0;
    virtual void SetBarPosition(std::int64_t position) = 0;
    // Drains the worker thread's own message queue between blocks.
    virtual void PumpPendingMessages() = 0;
};

// The card library's five builders.
class CardLibrary {
public:
    virtual ~CardLibrary() = default;

    // The drive letter and the job's label buffer; non-zero when the
    // card has been formatted. Called while the job still holds the card,
    // on the job's thread: the library writes inside the job's claim.
    // oemParameters: for exFAT, the card's flash-parameters record as the
    // job read it before its first write (nullopt: none); the new volume
    // keeps it, since the card no longer holds it.
    virtual int Build(trellan::Builder builder, char driveLetter, char* label,
                      const std::optional<trellan::ExfatOemSector>& oemParameters) = 0;
};

// Returns a FormatResult. checkExFatSupport answers as CheckExFatSupport
// does; it is asked once, for cards of the large class only. The card is
// opened once: surveyed, then claimed, and the trial write, the erase, the
// same-card check and the build all happen inside the claim. Nothing is
// written unless a layout fits the card, its sectors are 512 bytes, the
// card is the one in inputs.card and the claim holds; a failed write ends
// the job, and before the library builds, the card must still read as that
// card with the job's own writes on it.
int RunFormatJob(FormatJobInputs inputs, RawVolumeOpener& volumes, FormatJobDialog& dialog, CardLibrary& library,
                 const std::function<int()>& checkExFatSupport);

// Zeroes sector 0 as a trial: true when the volume cannot be opened or the
// write does not take all 512 bytes.
bool IsWriteProtected(char driveLetter, RawVolumeOpener& volumes);

// veltrane-format.exe: the Veltrane format job from a Windows command line,
// on the card in a removable reader named by its drive letter.
#include "cli/card_health.h"
#include "cli/card_identity_win32.h"
#include "cli/card_report.h"
#include "cli/command_line.h"
#include "cli/drive_letter.h"
#include "cli/exit_status.h"
#include "cli/help_text.h"
#include "cli/job_report.h"
#include "cli/plan_text.h"
#include "cli/read_back_library_win32.h"
#include "cli/speed_check.h"
#include "cli/terminal_dialog.h"
#include "cli/win32_card_access.h"
#include "drives/offered_drives_win32.h"
#include "drives/raw_volume_win32.h"
#include "format/card_format_win32.h"
#include "format/stored_label_win32.h"
#include "platform/volume.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace {

void Complain(const std::string& drive, const std::string& text)
{
    std::fprintf(stderr, "veltrane-format: %s: %s\n", drive.c_str(), text.c_str());
}

// Only the readers the dialog offers are formatted, whatever --force says:
// a fixed disk is never a card. 0 when the drive is one of them.
int DriveRefusal(char letter, const std::string& drive)
{
    const std::vector<char> offered = OfferedDriveLetters();
    if (std::find(offered.begin(), offered.end(), letter) != offered.end()) {
        return 0;
    }
    const UINT type = GetDriveTypeA(RootPath(letter).c_str());
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) {
        Complain(drive, "no such drive; nothing was written");
        return kExitUnusable;
    }
    Complain(drive, type == DRIVE_REMOVABLE ? "not a card reader (the system's own disk or a floppy drive); "
                                              "nothing was written"
                                            : "not a removable drive; only card readers are formatted, nothing "
                                              "was written");
    return kExitNotRemovable;
}

// The card as the job will find it; nullopt, with the reason told, when no
// card answers.
// Why the drive did not open, by the error: only a refused access asks for
// administrator rights.
std::string OpenFailureText(DWORD error)
{
    switch (error) {
    case ERROR_SHARING_VIOLATION:
        return std::string(kCardInUseText);
    case ERROR_ACCESS_DENIED:
        return "cannot open the drive (run as administrator); nothing was written";
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
        return "no card in the reader; nothing was written";
    default:
        return "cannot open the drive (error " + std::to_string(error) + "); nothing was written";
    }
}

std::optional<DiskGeometry> MeasureDrive(char letter, const std::string& drive)
{
    Win32RawVolumeOpener volumes;
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter);
    if (!volume) {
        Complain(drive, OpenFailureText(GetLastError()));
        return std::nullopt;
    }
    const std::optional<DiskGeometry> geometry = volume->ReadGeometry();
    const std::optional<std::uint64_t> length = volume->LengthBytes();
    if (!geometry || !length || *length == 0) {
        Complain(drive, "no card in the reader; nothing was written");
        return std::nullopt;
    }
    return geometry;
}

// The card claimed for the health checks and held to the end of the
// program: the job and Trellan.dll, on this thread, join the hold, so no
// other program reaches the card between the check and the format, and
// the checks read it past the system's cache. nullptr, with the refusal
// told and status set, when the card cannot be taken; nothing was written.
std::unique_ptr<Win32CardAccess> HoldCard(const std::string& drive, char letter, int& status)
{
    CardRefusal refusal = CardRefusal::none;
    std::unique_ptr<Win32CardAccess> card = Win32CardAccess::Open(letter, refusal);
    switch (refusal) {
    case CardRefusal::none:
        status = 0;
        return card;
    case CardRefusal::noCard:
        Complain(drive, "no card in the reader; nothing was written");
        status = kExitUnusable;
        return nullptr;
    case CardRefusal::inUse:
        Complain(drive, std::string(kCardInUseText));
        status = kExitBusy;
        return nullptr;
    case CardRefusal::notWholeCard:
        Complain(drive, std::string(kCardNotWholeText));
        break;
    case CardRefusal::otherFormat:
        Complain(drive, std::string(kCardFormattedElsewhereText));
        break;
    }
    status = kExitFormatFailed;
    return nullptr;
}

// The card's length for a health check; nullopt skips the check with
// status 0 (a locked card is the job's to report, as the dialog does) or
// ends the program with status.
std::optional<std::uint64_t> LengthToCheck(const CommandLine& line, char letter, Win32CardAccess& card, int& status)
{
    status = 0;
    Win32RawVolumeOpener volumes;
    if (IsWriteProtected(letter, volumes)) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> lengthBytes = card.LengthBytes();
    if (!lengthBytes) {
        Complain(line.path, "no card in the reader; nothing was written");
        status = kExitUnusable;
    }
    return lengthBytes;
}

// Before the format: does the card hold what it reports. With --force a
// failing card is formatted for its real capacity: the hold, and the job
// and the library that join it, end the card there. Non-zero ends the
// program.
int CheckCardCapacity(const CommandLine& line, char letter, Win32CardAccess& card)
{
    int status = 0;
    const std::optional<std::uint64_t> lengthBytes = LengthToCheck(line, letter, card, status);
    if (!lengthBytes) {
        return status;
    }
    const CapacityFinding finding = CheckAndDescribeCapacity(card, *lengthBytes, line.fullCheck);
    // A write or read the card refused says nothing of its capacity.
    if (!card.DeviceFault().empty()) {
        Complain(line.path, "the capacity check could not go on: " + card.DeviceFault() + "; not formatted");
        return kExitFormatFailed;
    }
    if (finding.Passed()) {
        return 0;
    }
    if (!line.force) {
        Complain(line.path, "fails the capacity check; not formatted (--force formats it for its real capacity)");
        return kExitCardFaulty;
    }
    std::printf("Formatting for the real capacity (--force).\n");
    card.LimitLength(finding.usableBytes);
    return 0;
}

// --speed, after any capacity check: on a forced card only its real capacity.
int MeasureCardSpeed(const CommandLine& line, char letter, Win32CardAccess& card)
{
    int status = 0;
    const std::optional<std::uint64_t> lengthBytes = LengthToCheck(line, letter, card, status);
    if (!lengthBytes) {
        return status;
    }
    if (!CheckSpeed(card, *lengthBytes, line.speedClass)) {
        Complain(line.path, "the card stopped answering during the speed test; not formatted");
        return kExitFormatFailed;
    }
    return 0;
}

// The label as Trellan.dll stores what the command line hands it, in the
// system's ANSI code page as typed.
StoredLabel StoredLabelOf(const CommandLine& line)
{
    return [&line](trellan::Builder builder) {
        const int units = MultiByteToWideChar(CP_ACP, 0, line.label.c_str(), -1, nullptr, 0);
        std::wstring typed(static_cast<std::size_t>(std::max(units, 1)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, line.label.c_str(), -1, typed.data(), units);
        typed.resize(typed.size() - 1);
        return CodePageText(LabelAsStored(builder, typed).text);
    };
}

// After the question: the card in the reader is still the one asked about.
bool IsAgreedCard(char letter, const CardSample& agreed)
{
    Win32RawVolumeOpener volumes;
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter);
    return volume && CardMatchesSample(*volume, agreed);
}

// card: the one asked about, or, after the health checks' own writes, the
// card as they left it.
int RunJob(const CommandLine& line, char letter, std::optional<CardSample> card)
{
    FormatJobInputs inputs;
    inputs.driveLetter = letter;
    line.label.copy(inputs.label.data(), inputs.label.size() - 1);
    inputs.cardType = line.cardType;
    inputs.eraseMode = line.eraseMode;
    inputs.card = std::move(card);

    // Windows' job says why it failed in its own messages.
    const VolumeWrites noWrites;
    TerminalDialog dialog(stderr, line.assumeYes ? TerminalDialog::Answers::assumeYes : TerminalDialog::Answers::ask,
                          noWrites);
    TrellanLibrary builders;
    ReadBackLibrary library(builders,
                            line.verify ? ReadBackLibrary::ReadBack::beforeBuild : ReadBackLibrary::ReadBack::none);
    const int result = FormatCard(inputs, dialog, library);
    return ReportJobEnd(result, line.path, library.FailureText(), library.CardFaulty());
}

// The program, run inside the record of the run that --report writes.
std::optional<CardIdentity> IdentifyCard(const std::string& path)
{
    const std::optional<char> letter = DriveLetterNamed(path);
    return letter ? ReadCardIdentity(*letter) : std::nullopt;
}

int FormatProgram(int argc, char** argv)
{
    const CommandLine line =
        ParseCommandLine({argv + 1, static_cast<std::size_t>(argc - 1)}, ToolSystem::windowsDrives);
    if (line.request == CommandRequest::help) {
        std::fputs(HelpText(ToolSystem::windowsDrives).c_str(), stdout);
        return kExitFormatted;
    }
    if (line.request == CommandRequest::version) {
        std::printf("veltrane-format %s\n", VELTRANE_VERSION);
        return kExitFormatted;
    }
    const std::optional<char> letter = line.error.empty() ? DriveLetterNamed(line.path) : std::nullopt;
    if (!letter) {
        const std::string error = line.error.empty()
                                      ? "'" + line.path + "' is not a drive letter; name the card's drive, e.g. E:"
                                      : line.error;
        std::fprintf(stderr, "veltrane-format: %s\nTry 'veltrane-format --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (const int refusal = DriveRefusal(*letter, line.path); refusal != 0) {
        return refusal;
    }
    const std::optional<DiskGeometry> geometry = MeasureDrive(*letter, line.path);
    if (!geometry) {
        return kExitUnusable;
    }
    // The card asked about, sampled before the question as the dialog does.
    std::optional<CardSample> agreed = SampleDriveCard(*letter);
    if (!agreed) {
        Complain(line.path, "no card in the reader; nothing was written");
        return kExitUnusable;
    }
    std::fputs(
        PlanText(line.path + " (removable drive)", *geometry, line, StoredLabelOf(line), agreed->lengthBytes).c_str(),
        stdout);
    std::fflush(stdout);
    if (!line.assumeYes && !AskYesNo("It will delete all file in the media!  continue ?")) {
        std::fputs("Nothing was written.\n", stderr);
        return kExitNotConfirmed;
    }
    if (!IsAgreedCard(*letter, *agreed)) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(kCardChangedText.size()), kCardChangedText.data());
        return ReportJobEnd(FORMAT_FAILED, line.path, {}, false);
    }
    std::unique_ptr<Win32CardAccess> hold;
    if (line.checkCapacity || line.verify || line.speed) {
        int status = 0;
        hold = HoldCard(line.path, *letter, status);
        if (!hold) {
            return status;
        }
    }
    if (line.checkCapacity) {
        if (const int status = CheckCardCapacity(line, *letter, *hold); status != 0) {
            return status;
        }
    }
    if (line.speed) {
        if (const int status = MeasureCardSpeed(line, *letter, *hold); status != 0) {
            return status;
        }
    }
    // The checks wrote the card: it is the one agreed to, as they left it.
    const int status = RunJob(line, *letter, hold ? SampleDriveCard(*letter) : std::move(agreed));
    // The job joined the hold: the hold gives the card back, and tells
    // whether Windows shows the layout the build wrote.
    if (hold && status == kExitFormatted && !hold->GiveBack()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(kOldLayoutShownText.size()), kOldLayoutShownText.data());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    // A write-protected card or an empty reader is told by the program from
    // its error codes, not by the system's critical-error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return RunReported(argc, argv, ToolSystem::windowsDrives, VELTRANE_VERSION, IdentifyCard, FormatProgram);
}

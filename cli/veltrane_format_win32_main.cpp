// veltrane-format.exe: the Veltrane format job from a Windows command line,
// on the card in a removable reader named by its drive letter.
#include "cli/card_health.h"
#include "cli/command_line.h"
#include "cli/drive_letter.h"
#include "cli/exit_status.h"
#include "cli/help_text.h"
#include "cli/job_report.h"
#include "cli/plan_text.h"
#include "cli/read_back_library_win32.h"
#include "cli/terminal_dialog.h"
#include "cli/win32_card_access.h"
#include "drives/offered_drives_win32.h"
#include "drives/raw_volume_win32.h"
#include "format/card_format_win32.h"
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

struct DriveMeasure {
    DiskGeometry geometry;
    std::uint64_t lengthBytes = 0;
};

// The card as the job will find it; nullopt, with the reason told, when no
// card answers.
std::optional<DriveMeasure> MeasureDrive(char letter, const std::string& drive)
{
    Win32RawVolumeOpener volumes;
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter);
    if (!volume) {
        Complain(drive, "cannot open the drive (run as administrator); nothing was written");
        return std::nullopt;
    }
    const std::optional<DiskGeometry> geometry = volume->ReadGeometry();
    const std::optional<std::uint64_t> length = volume->LengthBytes();
    if (!geometry || !length || *length == 0) {
        Complain(drive, "no card in the reader; nothing was written");
        return std::nullopt;
    }
    return DriveMeasure{*geometry, *length};
}

// Before the format: does the card hold what it reports. Non-zero ends the
// program.
int CheckCardCapacity(const CommandLine& line, char letter, std::uint64_t lengthBytes)
{
    Win32CardAccess::Opening opening = Win32CardAccess::Opening::failed;
    std::string problem;
    const std::unique_ptr<Win32CardAccess> card =
        Win32CardAccess::Open(letter, Win32CardAccess::Use::readWrite, opening, problem);
    switch (opening) {
    case Win32CardAccess::Opening::opened:
        break;
    case Win32CardAccess::Opening::writeProtected:
        // A locked card is the job's to report, as the dialog does.
        return 0;
    case Win32CardAccess::Opening::inUse:
        Complain(line.path, problem);
        return kExitBusy;
    case Win32CardAccess::Opening::failed:
        Complain(line.path, problem);
        return kExitFormatFailed;
    }
    const CapacityFinding finding = CheckAndDescribeCapacity(*card, lengthBytes, line.fullCheck);
    if (finding.Passed()) {
        return 0;
    }
    // The builders here lay the file system over the whole reported size;
    // on this card that loses what lands past its real capacity.
    Complain(line.path, line.force ? "fails the capacity check; not formatted (--force cannot fit the file system "
                                     "to the real capacity on Windows)"
                                   : "fails the capacity check; not formatted");
    return kExitCardFaulty;
}

int RunJob(const CommandLine& line, char letter)
{
    FormatJobInputs inputs;
    inputs.driveLetter = letter;
    line.label.copy(inputs.label.data(), inputs.label.size() - 1);
    inputs.cardType = line.cardType;
    inputs.eraseMode = line.eraseMode;
    // The card was named on the command line and confirmed; what it holds
    // now, after any capacity check, is the card the job may format.
    inputs.card = SampleDriveCard(letter);

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

}  // namespace

int main(int argc, char** argv)
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
    const std::optional<DriveMeasure> measure = MeasureDrive(*letter, line.path);
    if (!measure) {
        return kExitUnusable;
    }
    std::fputs(PlanText(line.path + " (removable drive)", measure->geometry, line).c_str(), stdout);
    std::fflush(stdout);
    if (!line.assumeYes && !AskYesNo("It will delete all file in the media!  continue ?")) {
        std::fputs("Nothing was written.\n", stderr);
        return kExitNotConfirmed;
    }
    if (line.checkCapacity) {
        if (const int status = CheckCardCapacity(line, *letter, measure->lengthBytes); status != 0) {
            return status;
        }
    }
    return RunJob(line, *letter);
}

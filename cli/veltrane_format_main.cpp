// veltrane-format: the Veltrane format job from a Linux command line.
#include "cli/card_access.h"
#include "cli/card_health.h"
#include "cli/card_identity_linux.h"
#include "cli/card_report.h"
#include "cli/command_line.h"
#include "cli/exit_status.h"
#include "cli/help_text.h"
#include "cli/job_report.h"
#include "cli/label_text.h"
#include "cli/plan_text.h"
#include "cli/posix_raw_volume.h"
#include "cli/speed_check.h"
#include "cli/terminal_dialog.h"
#include "cli/trellan_card_library.h"
#include "format/format_job.h"
#include "guard/card_claim.h"
#include "guard/device_length.h"
#include "guard/standard_streams.h"
#include "guard/stop_signals.h"
#include "guard/target_hazards.h"
#include "guard/target_inspection.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

// The job names its drive by letter; the opener and the library here are
// bound to the one path, so any letter serves.
constexpr char kDriveToken = 'E';

// The exFAT probe's answer when the system reads exFAT, as Linux does.
constexpr int kExFatSupported = 0;

void Complain(const std::string& path, const std::string& text)
{
    std::fprintf(stderr, "veltrane-format: %s: %s\n", path.c_str(), text.c_str());
}

// Refuses a fixed disk or one in use, before anything is written; --force
// turns the refusal into a warning. 0 when the format may go on.
int SafetyRefusal(const CommandLine& line, const TargetIdentity& target)
{
    const std::optional<TargetHazard::Kind> refusal =
        RefusingHazard(target, line.force, [&](const std::string& text) { Complain(line.path, text); });
    if (!refusal) {
        return 0;
    }
    return *refusal == TargetHazard::Kind::notRemovable ? kExitNotRemovable : kExitMounted;
}

std::string SignalName(int signal)
{
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation != nullptr ? std::string("SIG") + abbreviation : std::to_string(signal);
}

// After a stop signal ended the job: what the card holds now.
int ReportStop(const CommandLine& line, int signal, const VolumeWrites& writes)
{
    const std::string& path = line.path;
    if (writes.reachedBytes == 0) {
        Complain(path,
                 "stopped by " + SignalName(signal) +
                     (line.checkCapacity ? ": the card holds test blocks, no file system" : "; nothing was written"));
    } else {
        Complain(path, "stopped by " + SignalName(signal) + ": erased up to " + std::to_string(writes.reachedBytes) +
                           " of " + std::to_string(writes.lengthBytes) + " bytes; no file system");
    }
    return kExitStopped;
}

StoredLabel StoredLabelOf(const CommandLine& line)
{
    return [&line](trellan::Builder builder) { return StoredLabelText(builder, line.label, line.codePage); };
}

void ShowPlan(const CommandLine& line, const TargetIdentity& target, const TargetMeasure& measure)
{
    const std::string device =
        line.path + (target.kind == DeviceKind::blockDevice ? " (block device)" : " (image file)");
    std::fputs(PlanText(device, DerivedGeometry(measure.lengthBytes, measure.sectorBytes), line, StoredLabelOf(line),
                        measure.lengthBytes)
                   .c_str(),
               stdout);
    std::fflush(stdout);
}

// The card agreed to is no longer the one claimed: the dialog's words.
int ReportCardChanged(const CommandLine& line)
{
    std::fprintf(stderr, "%.*s\n", static_cast<int>(kCardChangedText.size()), kCardChangedText.data());
    return ReportJobEnd(FORMAT_FAILED, line.path, {}, false);
}

// Before the format: does the card hold what it reports. Sets the length to
// format for when --force takes a failing card; non-zero ends the program.
int CheckCardCapacity(const CommandLine& line, const CardClaim& claim, std::uint64_t lengthBytes,
                      std::optional<std::uint64_t>& lengthLimit)
{
    // A locked card is the job's to report, as the dialog does.
    PosixRawVolumeOpener volumes(claim);
    if (IsWriteProtected(kDriveToken, volumes)) {
        return 0;
    }
    CardAccess card(claim.Descriptor());
    const CapacityFinding finding = CheckAndDescribeCapacity(card, lengthBytes, line.fullCheck);
    // A write or read the device refused says nothing of the card's capacity.
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
    std::fputs(BuilderText(DerivedGeometry(finding.usableBytes, DeviceSectorBytes(claim.Descriptor())), line,
                           StoredLabelOf(line))
                   .c_str(),
               stdout);
    lengthLimit = finding.usableBytes;
    return 0;
}

// --speed, after any capacity check: on a forced card only its real capacity.
int MeasureCardSpeed(const CommandLine& line, const CardClaim& claim, std::uint64_t lengthBytes)
{
    // A locked card is the job's to report, as the dialog does.
    PosixRawVolumeOpener volumes(claim);
    if (IsWriteProtected(kDriveToken, volumes)) {
        return 0;
    }
    CardAccess card(claim.Descriptor());
    if (!CheckSpeed(card, lengthBytes, line.speedClass)) {
        Complain(line.path, "the card stopped answering during the speed test; not formatted");
        return kExitFormatFailed;
    }
    return 0;
}

std::optional<CardIdentity> IdentifyCard(const std::string& path)
{
    return ReadCardIdentity(path);
}

int RunJob(const CommandLine& line, const CardClaim& claim, CardSample agreed, std::optional<std::uint64_t> lengthLimit)
{
    FormatJobInputs inputs;
    inputs.driveLetter = kDriveToken;
    line.label.copy(inputs.label.data(), inputs.label.size() - 1);
    inputs.cardType = line.cardType;
    inputs.eraseMode = line.eraseMode;
    inputs.card = std::move(agreed);

    PosixRawVolumeOpener volumes(claim, lengthLimit);
    TerminalDialog dialog(stderr, line.assumeYes ? TerminalDialog::Answers::assumeYes : TerminalDialog::Answers::ask,
                          volumes.Writes());
    TrellanCardLibrary library(claim.Descriptor(),
                               {.codePage = line.codePage, .lengthLimit = lengthLimit, .verifyErase = line.verify});
    const int result = RunFormatJob(inputs, volumes, dialog, library, [] { return kExFatSupported; });

    // The erase stops at a signal; the file system build, a second at most, is finished first.
    if (const int signal = StopSignal(); signal != 0) {
        if (result != FORMAT_DONE) {
            return ReportStop(line, signal, volumes.Writes());
        }
        Complain(line.path, SignalName(signal) + " came during the file system build, which was finished first");
    }
    return ReportJobEnd(result, line.path, library.FailureText(), library.CardFaulty());
}

// After the question and any capacity check: the card the job may format,
// which must still be the one sampled before the question. The check's
// test blocks are the job's own writes: a fresh sample takes them in, and a
// card changed since has no length to sample.
std::optional<CardSample> CardAfterQuestion(const CommandLine& line, const CardClaim& claim, CardSample agreed,
                                            std::optional<std::uint64_t>& lengthLimit, int& status)
{
    PosixRawVolumeOpener volumes(claim);
    {
        const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(kDriveToken);
        if (!volume || !CardMatchesSample(*volume, agreed)) {
            status = ReportCardChanged(line);
            return std::nullopt;
        }
    }
    if (!line.checkCapacity && !line.speed) {
        return agreed;
    }
    // The test blocks are overwritten by the format anyway; nothing is lost by ending at once.
    StopAtOnce("veltrane-format",
               line.checkCapacity ? "stopped during the capacity check: the card holds test blocks, no file system"
                                  : "stopped during the speed test: the card holds test data, no file system",
               kExitStopped);
    status = line.checkCapacity ? CheckCardCapacity(line, claim, agreed.lengthBytes, lengthLimit) : 0;
    if (status == 0 && line.speed) {
        status = MeasureCardSpeed(line, claim, lengthLimit.value_or(agreed.lengthBytes));
    }
    StopAtOnce(nullptr, nullptr, 0);
    if (status != 0) {
        return std::nullopt;
    }
    // Sampled as the job will see it: a forced card ends at its real capacity.
    PosixRawVolumeOpener limited(claim, lengthLimit);
    std::optional<CardSample> checked = SampleCardIn(limited, kDriveToken);
    if (!checked) {
        status = ReportCardChanged(line);
        return std::nullopt;
    }
    return checked;
}

// The program, run inside the record of the run that --report writes.
int FormatProgram(int argc, char** argv)
{
    // Before anything is opened: the card must never become one of them.
    if (!OpenClosedStandardStreams()) {
        return kExitUnusable;
    }
    IgnoreBrokenPipes();
    const CommandLine line = ParseCommandLine({argv + 1, static_cast<std::size_t>(argc - 1)});
    if (line.request == CommandRequest::help) {
        std::fputs(HelpText(ToolSystem::linuxDevices).c_str(), stdout);
        return kExitFormatted;
    }
    if (line.request == CommandRequest::version) {
        std::printf("veltrane-format %s\n", VELTRANE_VERSION);
        return kExitFormatted;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "veltrane-format: %s\nTry 'veltrane-format --help'.\n", line.error.c_str());
        return kExitUsage;
    }

    const TargetIdentity target = IdentifyTarget(line.path);
    if (!target.problem.empty()) {
        Complain(line.path, target.problem + "; nothing was written");
        return kExitUnusable;
    }
    if (const int refusal = SafetyRefusal(line, target); refusal != 0) {
        return refusal;
    }
    // Held to the end of the program: no other job writes the card meanwhile,
    // and every read and write goes through its one open of the card.
    const CardClaim claim(line.path, target);
    if (claim.Refused() != CardClaim::Refusal::none) {
        Complain(line.path, claim.Problem() + "; nothing was written");
        return claim.Refused() == CardClaim::Refusal::busy ? kExitBusy : kExitUnusable;
    }
    const TargetMeasure measure = MeasureTarget(claim.Descriptor());
    if (!measure.problem.empty()) {
        Complain(line.path, measure.problem + "; nothing was written");
        return kExitUnusable;
    }
    // The card the user is asked about, sampled before the question as the dialog does.
    PosixRawVolumeOpener volumes(claim);
    std::optional<CardSample> agreed = SampleCardIn(volumes, kDriveToken);
    if (!agreed) {
        Complain(line.path, "it cannot be read; nothing was written");
        return kExitUnusable;
    }
    ShowPlan(line, target, measure);
    if (!line.assumeYes && !AskYesNo("It will delete all file in the media!  continue ?")) {
        std::fputs("Nothing was written.\n", stderr);
        return kExitNotConfirmed;
    }
    CatchStopSignals();
    std::optional<std::uint64_t> lengthLimit;
    int status = 0;
    std::optional<CardSample> card = CardAfterQuestion(line, claim, std::move(*agreed), lengthLimit, status);
    if (!card) {
        return status;
    }
    return RunJob(line, claim, std::move(*card), lengthLimit);
}

}  // namespace

int main(int argc, char** argv)
{
    return RunReported(argc, argv, ToolSystem::linuxDevices, VELTRANE_VERSION, IdentifyCard, FormatProgram);
}

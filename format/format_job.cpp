#include "format/format_job.h"

#include "format/card_oem_parameters.h"
#include "format/layout_check.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kTrialWriteBytes = 512;
// Large enough to halve the writes of 512 KiB blocks, small enough for the
// zero buffer to stay in the processor's cache while the system copies it:
// from 8 MiB on, that copy ran several times slower than the disk.
constexpr std::uint64_t kCompleteEraseWriteBytes = 1024 * 1024;

// What the job learns from its first look at the volume.
struct JobPlan {
    trellan::Builder builder = trellan::Builder::sd;
    ErasePlan erase;
    // The card as the job expects to read it: sampled once claimed, before
    // the first write, then with each of the job's writes applied.
    CardSample card;
    std::uint32_t bytesPerSector = 0;
};

// Measures the volume, picks the builder and asks about exFAT, all before
// anything is written. nullopt with the result to return otherwise.
struct Survey {
    std::optional<JobPlan> plan;
    int result = FORMAT_FAILED;
};

// The user was asked about a card that gave no sample: one that answers
// its length but cannot be read is a failing card, not another one.
SampleMatch WhyNoSample(RawVolume& volume, const DiskGeometry& geometry)
{
    return volume.LengthBytes() && !SampleCard(volume, geometry.bytesPerSector) ? SampleMatch::unreadable
                                                                                : SampleMatch::different;
}

Survey SurveyVolume(const FormatJobInputs& inputs, RawVolume& volume, FormatJobDialog& dialog,
                    const std::function<int()>& checkExFatSupport)
{
    const std::optional<DiskGeometry> geometry = volume.ReadGeometry();
    const std::optional<std::uint64_t> estimate = geometry ? CapacityEstimateBytes(*geometry) : std::nullopt;
    // A geometry of zeros or of impossible size would leave the builder
    // nothing sound to work on: refuse it before the trial write touches
    // sector 0.
    if (!estimate || *estimate == 0) {
        dialog.ShowMessage(JobMessage::fail);
        return {};
    }
    // The trial write, the erase and every layout are in 512-byte sectors.
    if (geometry->bytesPerSector != kTrialWriteBytes) {
        dialog.ShowText(kSectorSizeText);
        return {};
    }
    const std::optional<std::uint64_t> length = volume.LengthBytes();
    const SizeClass sizeClass = SizeClassOf(*estimate);
    const trellan::Builder builder = *ChooseBuilder(inputs.cardType, sizeClass);
    if (const std::optional<LayoutRefusal> refusal = CheckLayout(builder, length.value_or(*estimate))) {
        dialog.ShowText(LayoutRefusalText(*refusal));
        return {};
    }
    if (sizeClass == SizeClass::large) {
        const int probeAnswer = checkExFatSupport();
        const std::optional<std::string_view> warning = ExFatWarningText(probeAnswer);
        if (NeedsExFatWarning(inputs.cardType) && warning && !dialog.ConfirmFormat(*warning)) {
            return {.plan = std::nullopt, .result = FORMAT_CANCELLED};
        }
    }
    // Checked after every question, right before the first write: the card
    // may have been swapped for another of the same size while one was open.
    const SampleMatch match = inputs.card ? CompareWithSample(volume, *inputs.card) : WhyNoSample(volume, *geometry);
    if (match != SampleMatch::same) {
        dialog.ShowText(match == SampleMatch::unreadable ? kCardUnreadableText : kCardChangedText);
        return {};
    }
    // The estimate overshoots the device by a cylinder and a track per
    // cylinder; erasing up to it would write past the card's end and leave
    // the block that straddles the end unerased.
    const std::uint64_t extentBytes = std::min(*estimate, inputs.card->lengthBytes);
    return {.plan = JobPlan{.builder = builder,
                            .erase = PlanErase(inputs.eraseMode, extentBytes, geometry->bytesPerSector),
                            .card = {},
                            .bytesPerSector = geometry->bytesPerSector},
            .result = FORMAT_DONE};
}

// The offset of the first write that does not take all its bytes, and the
// pass stops there: a card that turned read-only or was pulled keeps old
// data, and no builder may call it erased. nullopt when every write took.
std::optional<std::uint64_t> RunErasePass(RawVolume& volume, const ErasePlan& plan, FormatJobDialog& dialog)
{
    // A Complete erase writes runs of adjacent blocks at once: every write
    // and every pump costs system round trips (under Wine, to its server)
    // whatever its size.
    const std::uint64_t blocksPerWrite =
        plan.bytesPerBlock == kEraseBlockStepBytes ? kCompleteEraseWriteBytes / kEraseBlockStepBytes : 1;
    // One zero buffer for the whole pass; tail sectors take its start.
    const std::vector<std::uint8_t> zeros(
        std::max<std::uint64_t>(plan.bytesPerBlock * blocksPerWrite, plan.bytesPerSector), 0);
    const std::span<const std::uint8_t> sector(zeros.data(), plan.bytesPerSector);

    dialog.SetBarRange(0, static_cast<std::int64_t>(plan.blockCount));
    dialog.ShowProgressBar();
    for (std::uint64_t i = 0; i < plan.blockCount;) {
        const std::uint64_t blocks = std::min(blocksPerWrite, plan.blockCount - i);
        const std::span<const std::uint8_t> run(zeros.data(), blocks * plan.bytesPerBlock);
        if (volume.Write(plan.BlockOffsetBytes(i), run) != run.size()) {
            return plan.BlockOffsetBytes(i);
        }
        i += blocks;
        dialog.PumpPendingMessages();
        dialog.SetBarPosition(static_cast<std::int64_t>(i - 1));
    }
    for (std::uint64_t k = 0; k < plan.tailSectorCount; ++k) {
        if (volume.Write(plan.TailSectorOffsetBytes(k), sector) != sector.size()) {
            return plan.TailSectorOffsetBytes(k);
        }
    }
    dialog.PumpPendingMessages();
    dialog.SetBarPosition(static_cast<std::int64_t>(plan.blockCount));
    return std::nullopt;
}

// A write that did not take, said by its reason where the platform tells
// it: only a write-protected card gets the write-protect box.
void ShowWriteFailure(RawVolume& volume, FormatJobDialog& dialog, std::uint64_t offsetBytes,
                      std::uint32_t bytesPerSector, JobMessage unexplained)
{
    const std::optional<WriteFailure> failure = volume.LastFailure();
    if (!failure) {
        dialog.ShowMessage(unexplained);
    } else if (*failure == WriteFailure::writeProtected) {
        dialog.ShowMessage(JobMessage::writeProtected);
    } else {
        dialog.ShowText(WriteFailureText(*failure, offsetBytes / bytesPerSector));
    }
}

// The sample as the erase pass leaves it.
void ApplyErase(const ErasePlan& plan, CardSample& card)
{
    for (std::uint64_t i = 0; i < plan.blockCount; ++i) {
        card.Zero(plan.BlockOffsetBytes(i), plan.bytesPerBlock);
    }
    card.Zero(plan.TailSectorOffsetBytes(0), plan.tailSectorCount * plan.bytesPerSector);
}

bool TrialWriteTakes(RawVolume& volume)
{
    const std::vector<std::uint8_t> zeros(kTrialWriteBytes, 0);
    return volume.Write(0, zeros) == kTrialWriteBytes;
}

// The record an exFAT build keeps, read before the trial write and the
// erase take it from the card.
std::optional<trellan::ExfatOemSector> ReadKeptOemParameters(RawVolume& volume, const JobPlan& plan)
{
    if (plan.builder != trellan::Builder::exfat) {
        return std::nullopt;
    }
    return ReadCardOemParameters(volume, plan.card.lengthBytes);
}

// False, with the reason shown, when the card could not be taken.
bool ClaimCard(RawVolume& volume, FormatJobDialog& dialog)
{
    switch (volume.ClaimCard()) {
    case CardTaking::claimed:
        return true;
    case CardTaking::noCard:
        dialog.ShowMessage(JobMessage::fail);
        return false;
    case CardTaking::notWholeCard:
        dialog.ShowText(kCardNotWholeText);
        return false;
    case CardTaking::inUse:
        dialog.ShowText(kCardInUseText);
        return false;
    case CardTaking::otherFormat:
        dialog.ShowText(kCardFormattedElsewhereText);
        return false;
    }
    return false;
}

}  // namespace

std::string_view WriteFailureReason(WriteFailure failure)
{
    switch (failure) {
    case WriteFailure::writeProtected:
        return "the card is write-protected";
    case WriteFailure::cardRemoved:
        return "the card was removed";
    case WriteFailure::inUse:
        return "another program holds the card";
    case WriteFailure::diskFull:
        return "the disk that holds the card is full";
    case WriteFailure::ioError:
        break;
    }
    return "the card reported an I/O error";
}

std::string WriteFailureText(WriteFailure failure, std::uint64_t sector)
{
    return "Writing sector " + std::to_string(sector) + " failed: " + std::string(WriteFailureReason(failure)) +
           ". The card has not been formatted.";
}

bool IsWriteProtected(RawVolume& volume)
{
    return !TrialWriteTakes(volume);
}

bool IsWriteProtected(char driveLetter, RawVolumeOpener& volumes)
{
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(driveLetter);
    return !volume || IsWriteProtected(*volume);
}

int RunFormatJob(FormatJobInputs inputs, RawVolumeOpener& volumes, FormatJobDialog& dialog, CardLibrary& library,
                 const std::function<int()>& checkExFatSupport)
{
    // Without a card type there is no builder to call: stop before anything
    // is written rather than erase a card that will not be formatted.
    if (inputs.cardType == CardType::none) {
        return FORMAT_FAILED;
    }
    if (!inputs.driveLetter) {
        dialog.ShowMessage(JobMessage::fail);
        return FORMAT_FAILED;
    }
    const char letter = *inputs.driveLetter;

    // One handle for the whole job: destroying it gives the card back.
    const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(letter);
    if (!volume) {
        dialog.ShowMessage(JobMessage::fail);
        return FORMAT_FAILED;
    }
    Survey survey = SurveyVolume(inputs, *volume, dialog, checkExFatSupport);
    if (!survey.plan) {
        return survey.result;
    }
    JobPlan plan = std::move(*survey.plan);

    if (!ClaimCard(*volume, dialog)) {
        return FORMAT_FAILED;
    }
    // Dismounting at the claim may write a file system's clean state back:
    // the card is read again as the job's starting point, still as long as
    // the card agreed to and with no media change since, into the memory of
    // the sample agreed to.
    const std::uint64_t agreedLength = inputs.card->lengthBytes;
    const std::optional<std::uint32_t> agreedChanges = inputs.card->mediaChangeCount;
    std::optional<CardSample> claimed = SampleCard(*volume, plan.bytesPerSector, std::move(*inputs.card));
    if (!claimed || claimed->lengthBytes != agreedLength || claimed->mediaChangeCount != agreedChanges) {
        const bool unreadable = !claimed && volume->LengthBytes() == agreedLength;
        dialog.ShowText(unreadable ? kCardUnreadableText : kCardChangedText);
        return FORMAT_FAILED;
    }
    plan.card = std::move(*claimed);
    const std::optional<trellan::ExfatOemSector> oemParameters = ReadKeptOemParameters(*volume, plan);
    if (oemParameters) {
        volume->KeepOemParameters(*oemParameters);
    }
    if (dialog.IsWriteProtected(*volume)) {
        ShowWriteFailure(*volume, dialog, 0, plan.bytesPerSector, JobMessage::writeProtected);
        return FORMAT_FAILED;
    }
    plan.card.Zero(0, kTrialWriteBytes);
    if (plan.erase.erases()) {
        if (const std::optional<std::uint64_t> failed = RunErasePass(*volume, plan.erase, dialog)) {
            ShowWriteFailure(*volume, dialog, *failed, plan.bytesPerSector, JobMessage::fail);
            return FORMAT_FAILED;
        }
        ApplyErase(plan.erase, plan.card);
    }
    // The card is still the one surveyed, holding what the job wrote: a
    // card swapped during the erase would otherwise get the layout planned
    // for the old one.
    if (!CardMatchesSample(*volume, plan.card)) {
        dialog.ShowText(kCardChangedDuringEraseText);
        return FORMAT_FAILED;
    }

    std::array<char, sizeof inputs.label> label = inputs.label;
    label.back() = '\0';
    if (library.Build(plan.builder, letter, label.data(), oemParameters) == 0) {
        return FORMAT_FAILED;
    }
    if (!volume->GiveBack()) {
        dialog.ShowText(kOldLayoutShownText);
    }
    return FORMAT_DONE;
}

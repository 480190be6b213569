#include "cli/card_health.h"

#include "cli/card_access.h"
#include "cli/progress_display.h"

#include <algorithm>
#include <vector>

namespace {

// Neighbouring probes go to the card in runs of up to 1 MiB.
constexpr std::uint64_t kRunBlocks = 256;
constexpr std::uint64_t kReadChunkBytes = std::uint64_t{1} << 20;

std::string MebibyteText(std::uint64_t bytes)
{
    return std::to_string(bytes) + " bytes (" + std::to_string(bytes >> 20) + " MiB)";
}

}  // namespace

CapacityFinding CheckCapacity(CardAccess& card, const ProbePlan& plan, std::uint64_t seed, std::FILE* progressOutput)
{
    const std::uint64_t count = plan.ProbeCount();
    const std::uint64_t totalBytes = count * kProbeBlockBytes;
    const CardAccess::Buffer buffer = CardAccess::NewBuffer(kRunBlocks * kProbeBlockBytes);
    // A block the card refused to take cannot count as read back.
    std::vector<bool> unwritten(count, false);

    ProgressDisplay writing(progressOutput, "Writing test blocks", totalBytes);
    for (std::uint64_t index = 0; index < count;) {
        const std::uint64_t run = plan.ContiguousCount(index, kRunBlocks);
        const std::span<std::uint8_t> bytes(buffer.get(), run * kProbeBlockBytes);
        for (std::uint64_t k = 0; k < run; ++k) {
            FillProbeBlock(seed, plan.ProbeOffset(index + k), bytes.subspan(k * kProbeBlockBytes, kProbeBlockBytes));
        }
        if (!card.Write(plan.ProbeOffset(index), bytes)) {
            std::fill_n(unwritten.begin() + static_cast<std::ptrdiff_t>(index), run, true);
        }
        index += run;
        writing.Update(index * kProbeBlockBytes);
    }
    writing.Finish("Test blocks written", totalBytes);
    card.Settle();

    CapacityJudge judge(plan.cardBytes);
    ProgressDisplay reading(progressOutput, "Reading test blocks", totalBytes);
    for (std::uint64_t index = 0; index < count;) {
        const std::uint64_t run = plan.ContiguousCount(index, kRunBlocks);
        const std::span<std::uint8_t> bytes(buffer.get(), run * kProbeBlockBytes);
        const bool read = card.Read(plan.ProbeOffset(index), bytes) == bytes.size();
        for (std::uint64_t k = 0; k < run; ++k) {
            const std::optional<std::uint64_t> tag =
                read && !unwritten[index + k]
                    ? ReadProbeTag(seed, bytes.subspan(k * kProbeBlockBytes, kProbeBlockBytes))
                    : std::nullopt;
            judge.Record(plan.ProbeOffset(index + k), tag);
        }
        index += run;
        reading.Update(index * kProbeBlockBytes);
    }
    reading.Finish("Test blocks read back", totalBytes);
    return judge.Finding();
}

std::string DescribeFinding(const CapacityFinding& finding)
{
    if (finding.Passed()) {
        return "Capacity check passed: all " + std::to_string(finding.probesChecked) +
               " test blocks read back as written over " + MebibyteText(finding.reportedBytes) + ".\n";
    }
    std::string text = "Capacity check failed:";
    if (finding.aliasDistanceBytes) {
        text += " " + std::to_string(finding.probesAliased) + " test blocks were overwritten by writes " +
                std::to_string(*finding.aliasDistanceBytes) + " bytes further on (the card wraps);";
    }
    if (finding.firstWrongOffset) {
        text += " " + std::to_string(finding.probesWrong) + " of " + std::to_string(finding.probesChecked) +
                " test blocks read back wrong, the first at offset " + std::to_string(*finding.firstWrongOffset) + ";";
    }
    text.back() = '.';
    return text + "\nReal usable capacity: " + MebibyteText(finding.usableBytes) + " of " +
           MebibyteText(finding.reportedBytes) + " reported.\n";
}

ZeroCheck CheckAllZero(CardAccess& card, std::uint64_t lengthBytes, std::FILE* progressOutput)
{
    card.Settle();
    const CardAccess::Buffer buffer = CardAccess::NewBuffer(kReadChunkBytes);
    ProgressDisplay display(progressOutput, "Verifying", lengthBytes);
    ZeroCheck check;
    for (std::uint64_t offset = 0; offset < lengthBytes; offset += kReadChunkBytes) {
        const std::uint64_t wanted = std::min(kReadChunkBytes, lengthBytes - offset);
        // Direct reads take whole blocks; the end of an image may come sooner.
        const std::uint64_t asked = (wanted + kProbeBlockBytes - 1) / kProbeBlockBytes * kProbeBlockBytes;
        const std::span<std::uint8_t> bytes(buffer.get(), asked);
        const std::size_t got = card.Read(offset, bytes);
        const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(got, wanted));
        const auto nonZero = std::find_if(bytes.begin(), end, [](std::uint8_t byte) { return byte != 0; });
        if (nonZero != end || got < wanted) {
            check.firstBadOffset = offset + static_cast<std::uint64_t>(nonZero - bytes.begin());
            check.readFailed = nonZero == end;
            break;
        }
        display.Update(offset + wanted);
    }
    display.Finish(check.firstBadOffset ? "Verify stopped" : "Verified", check.firstBadOffset.value_or(lengthBytes));
    return check;
}

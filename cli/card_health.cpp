#include "cli/card_health.h"

#include "cli/aligned_buffer.h"
#include "cli/card_blocks.h"
#include "cli/progress_display.h"

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace {

// Neighbouring probes go to the card in runs of up to 1 MiB.
constexpr std::uint64_t kRunBlocks = 256;
constexpr std::uint64_t kReadChunkBytes = std::uint64_t{1} << 20;

std::string MebibyteText(std::uint64_t bytes)
{
    return std::to_string(bytes) + " bytes (" + std::to_string(bytes >> 20) + " MiB)";
}

// Does the card wrap at candidate (or a divisor of it)? A fresh block at 0,
// then the candidate's sector written over what its block holds, so that
// nothing else moves; then both read back. Each test has a seed of its own,
// so that no earlier write passes for one of this test.
bool TestWrap(CardBlocks& card, std::uint64_t candidate, std::uint64_t seed, WrapSearch& search)
{
    const AlignedBuffer buffer = NewAlignedBuffer(2 * kProbeBlockBytes);
    const std::span<std::uint8_t> zero(buffer.get(), kProbeBlockBytes);
    const std::span<std::uint8_t> other(buffer.get() + kProbeBlockBytes, kProbeBlockBytes);
    const std::uint64_t otherOffset = candidate / kProbeBlockBytes * kProbeBlockBytes;
    const std::size_t at = candidate - otherOffset;
    const std::span<std::uint8_t> sector = other.subspan(at, kProbeSectorBytes);

    FillProbeBlock(seed, 0, zero);
    if (!card.Write(0, zero) || card.Read(otherOffset, other) != other.size()) {
        return false;
    }
    FillProbeBlock(seed, candidate, sector);
    if (!card.Write(otherOffset, other)) {
        return false;
    }
    card.Settle();
    if (card.Read(0, zero) != zero.size() || card.Read(otherOffset, other) != other.size()) {
        return false;
    }
    return search.Record(ReadProbeTag(seed, zero.first(kProbeSectorBytes)), ReadProbeTag(seed, sector));
}

// The wrap's exact size, from the shortest distance the probes showed.
std::uint64_t FindWrap(CardBlocks& card, std::uint64_t distance, std::uint64_t seed, CapacityJudge& judge)
{
    WrapSearch search(distance);
    for (std::uint64_t test = 1; const std::optional<std::uint64_t> candidate = search.Candidate(); ++test) {
        if (!TestWrap(card, *candidate, seed + test * 0x9E3779B97F4A7C15, search)) {
            // The card lost a write: what it holds ends below it.
            judge.RecordWrong(*candidate);
            break;
        }
    }
    return search.WrapBytes();
}

}  // namespace

CapacityFinding CheckCapacity(CardBlocks& card, const ProbePlan& plan, std::uint64_t seed, std::FILE* progressOutput)
{
    const std::uint64_t count = plan.ProbeCount();
    const std::uint64_t totalBytes = count * kProbeBlockBytes;
    const AlignedBuffer buffer = NewAlignedBuffer(kRunBlocks * kProbeBlockBytes);
    // A block the card refused to take cannot count as read back.
    std::vector<bool> unwritten(count, false);

    ProgressDisplay writing(progressOutput, "Writing test blocks", totalBytes);
    for (std::uint64_t index = 0; index < count;) {
        const std::uint64_t run = plan.ContiguousCount(index, kRunBlocks);
        const std::span<std::uint8_t> bytes(buffer.get(), run * kProbeBlockBytes);
        FillProbeBlock(seed, plan.ProbeOffset(index), bytes);
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
            const bool readable = read && !unwritten[index + k];
            std::array<std::optional<std::uint64_t>, kProbeSectorsPerBlock> tags;
            for (std::uint64_t s = 0; s < kProbeSectorsPerBlock; ++s) {
                tags[s] = readable
                              ? ReadProbeTag(seed, bytes.subspan((k * kProbeSectorsPerBlock + s) * kProbeSectorBytes,
                                                                 kProbeSectorBytes))
                              : std::nullopt;
            }
            judge.Record(plan.ProbeOffset(index + k), tags);
        }
        index += run;
        reading.Update(index * kProbeBlockBytes);
    }
    reading.Finish("Test blocks read back", totalBytes);
    if (judge.ShortestAlias()) {
        judge.ConfirmWrap(FindWrap(card, *judge.ShortestAlias(), seed, judge));
    }
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
        text += ' ';
        text += std::to_string(finding.probesAliased) + " test blocks were overwritten by writes " +
                std::to_string(*finding.aliasDistanceBytes) + " bytes further on (the card wraps);";
    }
    if (finding.firstWrongOffset) {
        text += ' ';
        text += std::to_string(finding.probesWrong) + " of " + std::to_string(finding.probesChecked) +
                " test blocks read back wrong, the first at offset " + std::to_string(*finding.firstWrongOffset) + ";";
    }
    text.back() = '.';
    return text + "\nReal usable capacity: " + MebibyteText(finding.usableBytes) + " of " +
           MebibyteText(finding.reportedBytes) + " reported.\n";
}

ZeroCheck CheckAllZero(CardBlocks& card, std::uint64_t lengthBytes, std::FILE* progressOutput)
{
    card.Settle();
    const AlignedBuffer buffer = NewAlignedBuffer(kReadChunkBytes);
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

std::string DescribeZeroCheck(const ZeroCheck& check)
{
    return "the card did not keep the Complete erase: offset " + std::to_string(check.firstBadOffset.value_or(0)) +
           (check.readFailed ? " cannot be read back" : " reads back a byte that is not zero");
}

CapacityFinding CheckAndDescribeCapacity(CardBlocks& card, std::uint64_t lengthBytes, bool full)
{
    std::random_device entropy;
    const std::uint64_t seed = (std::uint64_t{entropy()} << 32) ^ entropy();
    const CapacityFinding finding = CheckCapacity(card, PlanProbes(lengthBytes, full), seed, stderr);
    std::fputs(DescribeFinding(finding).c_str(), stdout);
    std::fflush(stdout);
    return finding;
}

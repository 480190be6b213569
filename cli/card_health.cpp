#include "cli/card_health.h"

#include "cli/aligned_buffer.h"
#include "cli/card_blocks.h"
#include "cli/progress_display.h"
#include "cli/run_record.h"

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

// Writes count probe blocks from index on in runs of neighbours; marks the
// ones the card refused.
void WriteProbes(CardBlocks& card, const ProbePlan& plan, std::uint64_t seed, std::uint64_t index, std::uint64_t count,
                 std::span<std::uint8_t> buffer, std::vector<bool>& unwritten, ProgressDisplay& display,
                 std::uint64_t& doneBytes)
{
    for (const std::uint64_t end = index + count; index < end;) {
        const std::uint64_t run = plan.ContiguousCount(index, std::min(kRunBlocks, end - index));
        const std::span<std::uint8_t> bytes = buffer.first(run * kProbeBlockBytes);
        FillProbeBlock(seed, plan.ProbeOffset(index), bytes);
        if (!card.Write(plan.ProbeOffset(index), bytes)) {
            std::fill_n(unwritten.begin() + static_cast<std::ptrdiff_t>(index), run, true);
        }
        index += run;
        doneBytes += bytes.size();
        display.Update(doneBytes);
    }
}

// Writes lengthBytes of tagged blocks from offset on, so that a card's cache
// of recent writes no longer holds what was written before. False when the
// card refused one.
bool FlushCardCache(CardBlocks& card, std::uint64_t offset, std::uint64_t lengthBytes, std::uint64_t seed,
                    std::span<std::uint8_t> buffer)
{
    for (std::uint64_t done = 0; done < lengthBytes;) {
        const std::span<std::uint8_t> bytes = buffer.first(std::min<std::uint64_t>(buffer.size(), lengthBytes - done));
        FillProbeBlock(seed, offset + done, bytes);
        if (!card.Write(offset + done, bytes)) {
            return false;
        }
        done += bytes.size();
    }
    return true;
}

// The wrap's exact size, from the shortest distance the probes showed: a
// fresh block at 0, a cache's worth of other writes, a fresh block at each
// of the distance's divisors, then block 0 read back. nullopt when the card
// lost a write or refused one.
std::optional<std::uint64_t> FindWrap(CardBlocks& card, std::uint64_t cardBytes, std::uint64_t distance,
                                      std::uint64_t seed)
{
    const WrapSearch search(distance);
    const AlignedBuffer buffer = NewAlignedBuffer(kRunBlocks * kProbeBlockBytes);
    const std::span<std::uint8_t> bytes(buffer.get(), kRunBlocks * kProbeBlockBytes);
    const std::span<std::uint8_t> block = bytes.first(kProbeBlockBytes);
    FillProbeBlock(seed, 0, block);
    if (cardBytes < kProbeBlockBytes || !card.Write(0, block) ||
        !FlushCardCache(card, kProbeBlockBytes,
                        std::min(kCardCacheBytes, (cardBytes - kProbeBlockBytes) / kProbeBlockBytes * kProbeBlockBytes),
                        seed, bytes)) {
        return std::nullopt;
    }
    for (const std::uint64_t offset : search.CandidateBlocks()) {
        FillProbeBlock(seed, offset, block);
        if (!card.Write(offset, block)) {
            return std::nullopt;
        }
    }
    card.Settle();
    if (card.Read(0, block) != block.size()) {
        return std::nullopt;
    }
    return search.WrapFrom(ReadProbeTag(seed, block.first(kProbeSectorBytes)));
}

}  // namespace

CapacityFinding CheckCapacity(CardBlocks& card, const ProbePlan& plan, std::uint64_t seed, std::FILE* progressOutput)
{
    const std::uint64_t count = plan.ProbeCount();
    const std::uint64_t headCount = plan.HeadCount();
    const std::uint64_t totalBytes = count * kProbeBlockBytes;
    const AlignedBuffer buffer = NewAlignedBuffer(kRunBlocks * kProbeBlockBytes);
    const std::span<std::uint8_t> runBytes(buffer.get(), kRunBlocks * kProbeBlockBytes);
    // A block the card refused to take cannot count as read back.
    std::vector<bool> unwritten(count, false);

    // The spread first: the head that follows pushes it out of any cache.
    ProgressDisplay writing(progressOutput, "Writing test blocks", totalBytes);
    std::uint64_t writtenBytes = 0;
    WriteProbes(card, plan, seed, headCount, count - headCount, runBytes, unwritten, writing, writtenBytes);
    WriteProbes(card, plan, seed, 0, headCount, runBytes, unwritten, writing, writtenBytes);
    writing.Finish("Test blocks written", totalBytes);
    card.Settle();

    CapacityJudge judge(plan.cardBytes);
    ProgressDisplay reading(progressOutput, "Reading test blocks", totalBytes);
    for (std::uint64_t index = 0; index < count;) {
        const std::uint64_t run = plan.ContiguousCount(index, kRunBlocks);
        const std::span<std::uint8_t> bytes = runBytes.first(run * kProbeBlockBytes);
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
    if (const std::optional<std::uint64_t> distance = judge.ShortestAlias()) {
        // A seed of its own, so that no probe passes for one of the search's sectors.
        const std::optional<std::uint64_t> wrap = FindWrap(card, plan.cardBytes, *distance, seed ^ 0x9E3779B97F4A7C15);
        if (wrap) {
            judge.ConfirmWrap(*wrap);
        } else {
            // The card lost a write: what it holds ends below the distance.
            judge.RecordWrong(*distance);
        }
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
                std::to_string(*finding.aliasDistanceBytes) + " bytes away (the card wraps);";
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
    ThisRun().verify = VerifyRecord{.passed = !check.firstBadOffset, .firstBadOffset = check.firstBadOffset};
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
    ThisRun().reportedBytes = lengthBytes;
    ThisRun().capacity = finding;
    // The caller names the device's failure instead of a capacity it did not measure.
    if (card.DeviceFault().empty()) {
        std::fputs(DescribeFinding(finding).c_str(), stdout);
        std::fflush(stdout);
    }
    return finding;
}

#include "cli/capacity_probe.h"

#include "trellan/byte_order.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

// A block's header; the pattern after it fills the rest.
namespace probe_offset {
constexpr std::size_t magic = 0;
constexpr std::size_t seed = 8;
constexpr std::size_t offset = 16;
constexpr std::size_t pattern = 24;
}  // namespace probe_offset

constexpr std::array<std::uint8_t, 8> kMagic = {'V', 'L', 'T', 'P', 'R', 'O', 'B', 'E'};

// Enough probes to spread over the card, few enough for a slow card's small
// writes to take seconds.
constexpr std::uint64_t kSpreadProbes = 2048;
// The head is probed block by block up to one spacing, and no further:
// beyond 64 GiB it would take longer than the spread itself.
constexpr std::uint64_t kMaxHeadBytes = std::uint64_t{32} << 20;
constexpr std::uint64_t kUsableGranularity = std::uint64_t{1} << 20;

// splitmix64: cheap, and every seed and offset gives a different stream.
std::uint64_t NextPattern(std::uint64_t& state)
{
    state += 0x9E3779B97F4A7C15;
    std::uint64_t value = state;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EB;
    return value ^ (value >> 31);
}

}  // namespace

std::uint64_t ProbePlan::ProbeCount() const
{
    const std::uint64_t blocks = cardBytes / kProbeBlockBytes;
    const std::uint64_t headBlocks = std::min(headBytes / kProbeBlockBytes, blocks);
    if (headBlocks == blocks || spacingBytes == 0) {
        return headBlocks;
    }
    const std::uint64_t lastOffset = (blocks - 1) * kProbeBlockBytes;
    // Multiples of the spacing at or above the head, then the last block
    // when no multiple is it.
    const std::uint64_t firstMultiple = (headBytes + spacingBytes - 1) / spacingBytes;
    const std::uint64_t lastMultiple = lastOffset / spacingBytes;
    const std::uint64_t multiples = lastMultiple >= firstMultiple ? lastMultiple - firstMultiple + 1 : 0;
    const bool lastIsMultiple = multiples > 0 && lastOffset % spacingBytes == 0;
    return headBlocks + multiples + (lastIsMultiple ? 0 : 1);
}

std::uint64_t ProbePlan::ProbeOffset(std::uint64_t index) const
{
    const std::uint64_t blocks = cardBytes / kProbeBlockBytes;
    const std::uint64_t headBlocks = std::min(headBytes / kProbeBlockBytes, blocks);
    if (index < headBlocks) {
        return index * kProbeBlockBytes;
    }
    const std::uint64_t firstMultiple = (headBytes + spacingBytes - 1) / spacingBytes;
    const std::uint64_t lastOffset = (blocks - 1) * kProbeBlockBytes;
    return std::min((firstMultiple + index - headBlocks) * spacingBytes, lastOffset);
}

std::uint64_t ProbePlan::ContiguousCount(std::uint64_t index, std::uint64_t maxCount) const
{
    const std::uint64_t count = ProbeCount();
    std::uint64_t run = 1;
    while (run < maxCount && index + run < count &&
           ProbeOffset(index + run) == ProbeOffset(index) + run * kProbeBlockBytes) {
        ++run;
    }
    return run;
}

ProbePlan PlanProbes(std::uint64_t cardBytes, bool full)
{
    if (full) {
        return {.cardBytes = cardBytes, .headBytes = cardBytes, .spacingBytes = 0};
    }
    const std::uint64_t spacing =
        std::max(std::bit_ceil(std::max<std::uint64_t>(cardBytes / kSpreadProbes, 1)), kProbeBlockBytes);
    return {.cardBytes = cardBytes, .headBytes = std::min(spacing, kMaxHeadBytes), .spacingBytes = spacing};
}

void FillProbeBlock(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> block)
{
    std::copy(kMagic.begin(), kMagic.end(), block.begin() + probe_offset::magic);
    trellan::store_le64(block, probe_offset::seed, seed);
    trellan::store_le64(block, probe_offset::offset, offset);
    std::uint64_t state = seed ^ (offset * 0xD6E8FEB86659FD93);
    for (std::size_t at = probe_offset::pattern; at < block.size(); at += sizeof(std::uint64_t)) {
        const std::uint64_t value = NextPattern(state);
        std::memcpy(block.data() + at, &value, std::min(sizeof value, block.size() - at));
    }
}

std::optional<std::uint64_t> ReadProbeTag(std::uint64_t seed, std::span<const std::uint8_t> block)
{
    if (block.size() < probe_offset::pattern ||
        !std::equal(kMagic.begin(), kMagic.end(), block.begin() + probe_offset::magic) ||
        trellan::load_le64(block, probe_offset::seed) != seed) {
        return std::nullopt;
    }
    const std::uint64_t offset = trellan::load_le64(block, probe_offset::offset);
    std::array<std::uint8_t, kProbeBlockBytes> expected;
    if (block.size() > expected.size()) {
        return std::nullopt;
    }
    const std::span<std::uint8_t> expectedBlock(expected.data(), block.size());
    FillProbeBlock(seed, offset, expectedBlock);
    return std::equal(block.begin(), block.end(), expectedBlock.begin()) ? std::optional(offset) : std::nullopt;
}

CapacityJudge::CapacityJudge(std::uint64_t cardBytes) : bound_(cardBytes)
{
    finding_.reportedBytes = cardBytes;
}

void CapacityJudge::Record(std::uint64_t offset, std::optional<std::uint64_t> tag)
{
    ++finding_.probesChecked;
    if (tag == offset) {
        return;
    }
    // A later, higher write landed here: the card is no larger than the
    // distance between the two (on a card that wraps, exactly that).
    if (tag && *tag > offset) {
        ++finding_.probesAliased;
        const std::uint64_t distance = *tag - offset;
        finding_.aliasDistanceBytes = std::min(finding_.aliasDistanceBytes.value_or(distance), distance);
        bound_ = std::min(bound_, distance);
        return;
    }
    ++finding_.probesWrong;
    finding_.firstWrongOffset = std::min(finding_.firstWrongOffset.value_or(offset), offset);
    bound_ = std::min(bound_, offset);
}

CapacityFinding CapacityJudge::Finding() const
{
    CapacityFinding finding = finding_;
    finding.usableBytes = finding.Passed() ? finding.reportedBytes : bound_ / kUsableGranularity * kUsableGranularity;
    return finding;
}

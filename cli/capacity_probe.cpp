#include "cli/capacity_probe.h"

#include "trellan/byte_order.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

// A sector's header; the pattern after it fills the rest.
namespace probe_offset {
constexpr std::size_t magic = 0;
constexpr std::size_t seed = 8;
constexpr std::size_t offset = 16;
constexpr std::size_t pattern = 24;
}  // namespace probe_offset

constexpr std::array<std::uint8_t, 8> kMagic = {'V', 'L', 'T', 'P', 'R', 'O', 'B', 'E'};

// Each spread probe is a write of its own: enough of them that a card which
// loses one write in a thousand loses a probe.
constexpr std::uint64_t kMinSpreadProbes = 2048;

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

std::uint64_t ProbePlan::HeadCount() const
{
    return std::min(headBytes, cardBytes) / kProbeBlockBytes;
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
    // The head's first M bytes and the spread's blocks as many: the fewest
    // in all. Below 16 GiB that is fewer than kMinSpreadProbes.
    const auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(cardBytes) * kProbeBlockBytes));
    const std::uint64_t wanted = std::min(root, cardBytes / kMinSpreadProbes);
    const std::uint64_t spacing =
        std::max((wanted + kProbeBlockBytes - 1) / kProbeBlockBytes, std::uint64_t{1}) * kProbeBlockBytes;
    return {.cardBytes = cardBytes, .headBytes = kCardCacheBytes + spacing, .spacingBytes = spacing};
}

void FillProbeBlock(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> block)
{
    for (std::size_t at = 0; at + kProbeSectorBytes <= block.size(); at += kProbeSectorBytes) {
        const std::span<std::uint8_t> sector = block.subspan(at, kProbeSectorBytes);
        std::copy(kMagic.begin(), kMagic.end(), sector.begin() + probe_offset::magic);
        trellan::store_le64(sector, probe_offset::seed, seed);
        trellan::store_le64(sector, probe_offset::offset, offset + at);
        std::uint64_t state = seed ^ ((offset + at) * 0xD6E8FEB86659FD93);
        for (std::size_t k = probe_offset::pattern; k < sector.size(); k += sizeof(std::uint64_t)) {
            const std::uint64_t value = NextPattern(state);
            std::memcpy(sector.data() + k, &value, sizeof value);
        }
    }
}

std::optional<std::uint64_t> ReadProbeTag(std::uint64_t seed, std::span<const std::uint8_t> sector)
{
    if (sector.size() != kProbeSectorBytes ||
        !std::equal(kMagic.begin(), kMagic.end(), sector.begin() + probe_offset::magic) ||
        trellan::load_le64(sector, probe_offset::seed) != seed) {
        return std::nullopt;
    }
    const std::uint64_t offset = trellan::load_le64(sector, probe_offset::offset);
    std::array<std::uint8_t, kProbeSectorBytes> expected;
    FillProbeBlock(seed, offset, expected);
    return std::equal(sector.begin(), sector.end(), expected.begin()) ? std::optional(offset) : std::nullopt;
}

CapacityJudge::CapacityJudge(std::uint64_t cardBytes) : bound_(cardBytes)
{
    finding_.reportedBytes = cardBytes;
}

void CapacityJudge::Record(std::uint64_t offset, std::span<const std::optional<std::uint64_t>> tags)
{
    ++finding_.probesChecked;
    bool aliased = false;
    bool wrong = false;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const std::uint64_t sector = offset + i * kProbeSectorBytes;
        const std::optional<std::uint64_t> tag = tags[i];
        if (tag == sector) {
            continue;
        }
        // A later write to another offset landed here: the card wraps at
        // a size that divides the distance between the two.
        if (tag) {
            aliased = true;
            const std::uint64_t distance = *tag > sector ? *tag - sector : sector - *tag;
            finding_.aliasDistanceBytes = std::min(finding_.aliasDistanceBytes.value_or(distance), distance);
            bound_ = std::min(bound_, distance);
            continue;
        }
        wrong = true;
        finding_.firstWrongOffset = std::min(finding_.firstWrongOffset.value_or(sector), sector);
        bound_ = std::min(bound_, sector);
    }
    finding_.probesAliased += aliased ? 1 : 0;
    finding_.probesWrong += wrong ? 1 : 0;
}

void CapacityJudge::RecordWrong(std::uint64_t offset)
{
    ++finding_.probesChecked;
    ++finding_.probesWrong;
    finding_.firstWrongOffset = std::min(finding_.firstWrongOffset.value_or(offset), offset);
    bound_ = std::min(bound_, offset);
}

void CapacityJudge::ConfirmWrap(std::uint64_t wrapBytes)
{
    finding_.aliasDistanceBytes = wrapBytes;
    bound_ = std::min(bound_, wrapBytes);
}

CapacityFinding CapacityJudge::Finding() const
{
    CapacityFinding finding = finding_;
    finding.usableBytes = finding.Passed() ? finding.reportedBytes : bound_ / kProbeSectorBytes * kProbeSectorBytes;
    return finding;
}

WrapSearch::WrapSearch(std::uint64_t distanceBytes) : distance_(distanceBytes)
{
    // The divisors, in sectors, from the prime factors with their powers.
    std::vector<std::uint64_t> divisors{1};
    std::uint64_t rest = distanceBytes / kProbeSectorBytes;
    const auto multiply = [&divisors](std::uint64_t prime, std::uint64_t& remaining) {
        const std::size_t lower = divisors.size();
        for (std::uint64_t power = prime; remaining % prime == 0; remaining /= prime, power *= prime) {
            for (std::size_t k = 0; k < lower; ++k) {
                divisors.push_back(divisors[k] * power);
            }
        }
    };
    for (std::uint64_t factor = 2; factor * factor <= rest; ++factor) {
        multiply(factor, rest);
    }
    if (rest > 1) {
        multiply(rest, rest);
    }
    for (const std::uint64_t divisor : divisors) {
        const std::uint64_t block = divisor * kProbeSectorBytes / kProbeBlockBytes * kProbeBlockBytes;
        if (block != 0) {
            blocks_.push_back(block);
        }
    }
    std::sort(blocks_.begin(), blocks_.end(), std::greater<>());
    blocks_.erase(std::unique(blocks_.begin(), blocks_.end()), blocks_.end());
}

std::optional<std::uint64_t> WrapSearch::WrapFrom(std::optional<std::uint64_t> tagAtZero) const
{
    if (!tagAtZero || *tagAtZero < kProbeBlockBytes || distance_ % *tagAtZero != 0) {
        return std::nullopt;
    }
    return tagAtZero;
}

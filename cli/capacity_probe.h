// The capacity check's decisions, free of I/O: where it writes, what each
// block holds, and what the blocks read back say about the card.
//
// A card that reports more than it holds wraps: a write beyond its real size
// lands on a block below it. Every block of the card's head is probed, then
// one block at each multiple of a power-of-two spacing, in rising order, so
// that a probe written past the real size overwrites a probe written before
// it; reading that one back names the later offset, and the distance between
// the two is the real size. A card that drops writes reads back something
// that carries no tag of this run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::uint64_t kProbeBlockBytes = 4096;

struct ProbePlan {
    std::uint64_t cardBytes = 0;     // the length the card reports
    std::uint64_t headBytes = 0;     // every block below this is probed
    std::uint64_t spacingBytes = 0;  // then one block at each multiple of this, and the last block

    std::uint64_t ProbeCount() const;
    // Rising with index; index < ProbeCount().
    std::uint64_t ProbeOffset(std::uint64_t index) const;
    // Probes from index on that sit end to end, at most maxCount of them.
    std::uint64_t ContiguousCount(std::uint64_t index, std::uint64_t maxCount) const;
};

// full: every block of the card. Otherwise a few thousand probes: a wrap at
// any size is found on cards up to 64 GiB, and on larger ones at sizes that
// are multiples of the spacing (as the flash inside is) or fall close after
// one; full finds every one.
ProbePlan PlanProbes(std::uint64_t cardBytes, bool full);

// A block's contents follow from the run's seed and its own offset alone,
// so that no block of an earlier run or of another offset passes for it.
void FillProbeBlock(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> block);

// The offset a block read back carries, when it is wholly one of this run's
// blocks; nullopt for anything else.
std::optional<std::uint64_t> ReadProbeTag(std::uint64_t seed, std::span<const std::uint8_t> block);

struct CapacityFinding {
    std::uint64_t reportedBytes = 0;
    std::uint64_t usableBytes = 0;  // the reported length when the card passed
    std::uint64_t probesChecked = 0;
    std::uint64_t probesWrong = 0;    // read back as nothing this run wrote there
    std::uint64_t probesAliased = 0;  // overwritten by a write to a higher offset
    std::optional<std::uint64_t> firstWrongOffset;
    std::optional<std::uint64_t> aliasDistanceBytes;  // the shortest seen: the wrap's size

    bool Passed() const { return probesWrong == 0 && probesAliased == 0; }
};

class CapacityJudge {
public:
    explicit CapacityJudge(std::uint64_t cardBytes);

    // tag: what ReadProbeTag found in the block read back from offset, or
    // nullopt when it held nothing of this run or could not be written or read.
    void Record(std::uint64_t offset, std::optional<std::uint64_t> tag);

    // The usable capacity is the length below every block that failed and
    // below the shortest wrap, in whole MiB.
    CapacityFinding Finding() const;

private:
    CapacityFinding finding_;
    std::uint64_t bound_;
};

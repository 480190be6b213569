// The capacity check's decisions, free of I/O: where it writes, what each
// sector holds, what the sectors read back say about the card, and which
// sizes to try to pin a wrap down.
//
// A card that reports more than it holds wraps: a write at offset o lands on
// o mod W, W its real size. Every block of a head of M bytes is probed, then
// one block at each multiple of M and the last block, in rising order. The
// first multiple of M at or past W lands inside the head (k*M - W < M), on
// probes written before it, so every wrap of M bytes or more is seen, and
// every smaller one wraps inside the head itself. Each 512-byte sector
// carries its own offset, so a wrap that is no multiple of 4 KiB, which
// lands a block across two of the head's, still reads back as one. With M
// near sqrt(card size x block size) the check writes about 2 x M bytes; on
// cards under 16 GiB M is smaller, for enough spread probes to catch a card
// that loses a write now and then.
//
// The distance between a sector's offset and the offset it reads back is a
// multiple of W; WrapSearch finds W itself by trying the distance's divisors.
// A card that drops writes reads back something that carries no tag of
// this run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint64_t kProbeBlockBytes = 4096;
inline constexpr std::uint64_t kProbeSectorBytes = 512;
inline constexpr std::uint64_t kProbeSectorsPerBlock = kProbeBlockBytes / kProbeSectorBytes;

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

// full: every block of the card. Otherwise every block of a head of M bytes
// and one block every M bytes after it, which finds a wrap at any size; M is
// sqrt(cardBytes x 4 KiB), or cardBytes / 2048 when that is less.
ProbePlan PlanProbes(std::uint64_t cardBytes, bool full);

// Each sector's contents follow from the run's seed and its own offset
// alone, so that no sector of an earlier run or of another offset passes for
// it. block is whole sectors; offset is its first sector's.
void FillProbeBlock(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> block);

// The offset a sector read back carries, when it is wholly one of this run's
// sectors; nullopt for anything else.
std::optional<std::uint64_t> ReadProbeTag(std::uint64_t seed, std::span<const std::uint8_t> sector);

struct CapacityFinding {
    std::uint64_t reportedBytes = 0;
    std::uint64_t usableBytes = 0;  // the reported length when the card passed
    std::uint64_t probesChecked = 0;
    std::uint64_t probesWrong = 0;    // a sector read back as nothing this run wrote there
    std::uint64_t probesAliased = 0;  // a sector overwritten by a write to a higher offset
    std::optional<std::uint64_t> firstWrongOffset;
    std::optional<std::uint64_t> aliasDistanceBytes;  // the wrap's size, once confirmed

    bool Passed() const { return probesWrong == 0 && probesAliased == 0; }
};

class CapacityJudge {
public:
    explicit CapacityJudge(std::uint64_t cardBytes);

    // tags: what ReadProbeTag found in each sector of the block read back
    // from offset, nullopt where it held nothing of this run or could not
    // be written or read.
    void Record(std::uint64_t offset, std::span<const std::optional<std::uint64_t>> tags);
    // A sector at offset that did not keep a targeted write.
    void RecordWrong(std::uint64_t offset);
    // The shortest distance seen between a sector and the write that landed
    // on it: a multiple of the wrap's size.
    std::optional<std::uint64_t> ShortestAlias() const { return finding_.aliasDistanceBytes; }
    // The card wraps at wrapBytes, found by WrapSearch.
    void ConfirmWrap(std::uint64_t wrapBytes);

    // The usable capacity is the length below every sector that failed and
    // below the wrap, in whole sectors.
    CapacityFinding Finding() const;

private:
    CapacityFinding finding_;
    std::uint64_t bound_;
};

// The wrap's exact size. Every distance seen is a multiple of it, so it is
// the distance with some of its prime factors divided out: one factor at a
// time, keep dividing while the card still wraps at the quotient. A test
// writes a fresh block at 0, then one sector at the candidate, and reads
// both back.
class WrapSearch {
public:
    explicit WrapSearch(std::uint64_t distanceBytes);

    // The size to test next; nullopt when the wrap is found.
    std::optional<std::uint64_t> Candidate() const;
    // What the test read back: the tags of the sector at 0 and of the one at
    // the candidate. False when that is neither a wrap nor none (a write
    // the card lost); the search then stops where it is.
    bool Record(std::optional<std::uint64_t> tagAtZero, std::optional<std::uint64_t> tagAtCandidate);

    std::uint64_t WrapBytes() const { return wrap_; }

private:
    void SkipUntestable();

    std::vector<std::uint64_t> factors_;  // of the distance in sectors, rising, with repeats
    std::size_t next_ = 0;
    std::uint64_t wrap_;
};

// The capacity check's decisions, free of I/O: where it writes, what each
// sector holds, what the sectors read back say about the card, and which
// sizes to try to pin a wrap down.
//
// A card that reports more than it holds wraps: a write at offset o lands on
// o mod W, W its real size. One block is probed at each multiple of M past a
// head, and the last block; then every block of the head, whose first M
// bytes take the place of a wrapped spread probe: the first multiple of M at
// or past W lands inside them (k*M - W < M), so every wrap of M bytes or more
// is seen, and every smaller one wraps inside the head itself. Each 512-byte
// sector carries its own offset, so a wrap that is no multiple of 4 KiB,
// which lands a block across two of the head's, still reads back as one.
// With M near sqrt(card size x block size) the spread writes about M bytes;
// on cards under 16 GiB M is smaller, for enough spread probes to catch a
// card that loses a write now and then.
//
// A counterfeit card may answer a read from a cache of its latest writes,
// by the offset they were sent to, and so hide the wrap. The head is longer
// than any such cache by M: the spread probes, written first, are gone from
// the cache when they are read, and so are the head's first M bytes.
//
// The distance between a sector's offset and the offset it reads back is a
// multiple of W; WrapSearch finds W among the distance's divisors. A card
// that drops writes reads back something that carries no tag of this run.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint64_t kProbeBlockBytes = 4096;
inline constexpr std::uint64_t kProbeSectorBytes = 512;
inline constexpr std::uint64_t kProbeSectorsPerBlock = kProbeBlockBytes / kProbeSectorBytes;
// The largest cache of recent writes a card is taken to read back from:
// counterfeit cards seen keep up to 256 MiB. Every read that must come from
// the flash follows at least this many bytes of writes to other offsets.
inline constexpr std::uint64_t kCardCacheBytes = std::uint64_t{256} << 20;

struct ProbePlan {
    std::uint64_t cardBytes = 0;     // the length the card reports
    std::uint64_t headBytes = 0;     // every block below this is probed, after the spread
    std::uint64_t spacingBytes = 0;  // one block at each multiple of this past the head, and the last block

    std::uint64_t ProbeCount() const;
    // The head's probes come first by index; they are written last.
    std::uint64_t HeadCount() const;
    // Rising with index; index < ProbeCount().
    std::uint64_t ProbeOffset(std::uint64_t index) const;
    // Probes from index on that sit end to end, at most maxCount of them.
    std::uint64_t ContiguousCount(std::uint64_t index, std::uint64_t maxCount) const;
};

// full: every block of the card. Otherwise every block of a head of
// kCardCacheBytes + M bytes and one block every M bytes after it, which finds
// a wrap at any size; M is sqrt(cardBytes x 4 KiB), or cardBytes / 2048 when
// that is less.
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
    std::uint64_t probesAliased = 0;  // a sector overwritten by a write to another offset
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
// one of the distance's divisors. Block 0 is written, then, past a cache's
// worth of other writes, a fresh sector at every divisor, the highest first;
// the last of them to land on sector 0, which the cache no longer holds, is
// the lowest multiple of the wrap among them: the wrap itself.
class WrapSearch {
public:
    explicit WrapSearch(std::uint64_t distanceBytes);

    // The blocks that hold a divisor, falling; each is past block 0, and
    // each of its sectors carries its own offset.
    const std::vector<std::uint64_t>& CandidateBlocks() const { return blocks_; }
    // The wrap, from the tag sector 0 read back once they were all written;
    // nullopt when that is no divisor (a write the card lost).
    std::optional<std::uint64_t> WrapFrom(std::optional<std::uint64_t> tagAtZero) const;

private:
    std::uint64_t distance_;
    std::vector<std::uint64_t> blocks_;
};

// The card's real speed, region by region: a sample at the start of each of
// up to 64 regions is written and read back in 1 MiB transfers past the
// system's cache, each read only after a cache's worth of other writes (on
// cards over 512 MiB), so that neither the system nor the card answers it
// from memory; then 4 KiB reads and writes at random offsets. It destroys
// what is on the card.
#pragma once

#include "cli/speed_classes.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

class CardBlocks;

struct SpeedPlan {
    std::uint64_t cardBytes = 0;
    std::uint64_t regionCount = 0;
    std::uint64_t regionBytes = 0;  // the last region takes what is left
    std::uint64_t sampleBytes = 0;  // measured at each region's start
    double randomSeconds = 0;       // for each of the random reads and writes
};

// 64 regions of whole 4 KiB blocks, fewer on cards under 64 MiB; a sample
// of up to 16 MiB of each.
SpeedPlan PlanSpeedTest(std::uint64_t cardBytes);

struct RegionSpeed {
    std::uint64_t offsetBytes = 0;
    std::uint64_t lengthBytes = 0;
    double writeBytesPerSecond = 0;
    double readBytesPerSecond = 0;
};

struct SpeedFigures {
    std::vector<RegionSpeed> regions;  // those measured, in order
    std::uint64_t sampleBytes = 0;
    double randomReadsPerSecond = 0;
    double randomWritesPerSecond = 0;
    std::optional<std::uint64_t> failedOffset;  // the card stopped taking or giving bytes there

    // The region whose sample wrote slowest; regions must not be empty.
    const RegionSpeed& SlowestWriteRegion() const;
    const RegionSpeed& SlowestReadRegion() const;
    MeasuredSpeeds Measured() const;
};

// Progress goes to progressOutput.
SpeedFigures MeasureSpeed(CardBlocks& card, const SpeedPlan& plan, std::FILE* progressOutput);

// The per-region bars of the write speed, each region's read speed beside
// them, then the slowest regions and the random operations a second.
std::string SpeedChart(const SpeedFigures& figures);

// One line per class: kept, or why not.
std::string DescribeVerdicts(const std::vector<ClassVerdict>& verdicts);

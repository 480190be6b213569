// The card health checks' passes over a card: the capacity check writes
// tagged blocks and reads them back, the read-back after a Complete erase
// looks for a byte that is not zero. The decisions are capacity_probe's.
#pragma once

#include "cli/capacity_probe.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

class CardBlocks;

// Destroys what is on the card. Progress goes to progressOutput.
CapacityFinding CheckCapacity(CardBlocks& card, const ProbePlan& plan, std::uint64_t seed, std::FILE* progressOutput);

// What a person reads about the finding: one line when the card passed,
// the faults and the real capacity otherwise.
std::string DescribeFinding(const CapacityFinding& finding);

// The command lines' check: a fresh seed, progress on stderr, the finding
// described on stdout unless the device failed a transfer.
CapacityFinding CheckAndDescribeCapacity(CardBlocks& card, std::uint64_t lengthBytes, bool full);

struct ZeroCheck {
    std::optional<std::uint64_t> firstBadOffset;  // a byte that is not zero, or could not be read
    bool readFailed = false;
};

// The first lengthBytes of the card should read back as zeros.
ZeroCheck CheckAllZero(CardBlocks& card, std::uint64_t lengthBytes, std::FILE* progressOutput);

// Why a card failed CheckAllZero, for a person.
std::string DescribeZeroCheck(const ZeroCheck& check);

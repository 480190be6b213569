// What one run of a command line measured, for --report: the health checks
// and the speed test note their findings here as they end, and the report
// is written from it when the program ends, whatever ended it.
#pragma once

#include "cli/capacity_probe.h"
#include "cli/card_identity.h"
#include "cli/speed_test.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct VerifyRecord {
    bool passed = false;
    std::optional<std::uint64_t> firstBadOffset;
};

struct RunRecord {
    std::string card;  // as named on the command line
    std::optional<CardIdentity> identity;
    std::optional<std::uint64_t> reportedBytes;
    std::optional<CapacityFinding> capacity;
    std::optional<SpeedFigures> speed;
    std::vector<ClassVerdict> verdicts;
    std::optional<VerifyRecord> verify;
    std::chrono::system_clock::time_point started;
    std::chrono::system_clock::time_point ended;
    int exitStatus = 0;
};

// The one record of this process.
RunRecord& ThisRun();

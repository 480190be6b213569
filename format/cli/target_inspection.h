// The first look at the path the user named, read-only: can it be opened,
// what is it, how long is it. Anything that fails here stops the program
// before a byte is written, whatever --force says.
#pragma once

#include "format/cli/device_checks.h"
#include "format/cli/device_length.h"

#include <cstdint>
#include <string>

struct TargetInspection {
    DeviceKind kind = DeviceKind::other;
    std::uint64_t lengthBytes = 0;
    std::uint32_t sectorBytes = 0;
    BlockDeviceNumber deviceNumber;  // block devices only
    std::string problem;             // empty when the path can be formatted
};

TargetInspection InspectTarget(const std::string& path);

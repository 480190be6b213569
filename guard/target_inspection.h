// The first looks at the path the user named, read-only. What it is comes
// from stat alone, so that a fixed disk is refused without being opened;
// then the device, opened once by the claim, is measured. Anything that fails
// here stops the program before a byte is written, whatever --force says.
#pragma once

#include "guard/device_checks.h"
#include "guard/device_length.h"

#include <cstdint>
#include <string>

struct TargetIdentity {
    DeviceKind kind = DeviceKind::other;
    BlockDeviceNumber deviceNumber;  // block devices only
    FileIdentity file;               // image files only
    std::string problem;             // empty when it is an image file or a block device
};

TargetIdentity IdentifyTarget(const std::string& path);

struct TargetMeasure {
    std::uint64_t lengthBytes = 0;
    std::uint32_t sectorBytes = 0;
    std::string problem;  // empty when the medium answers and has a length
};

// descriptor: the claim's.
TargetMeasure MeasureTarget(int descriptor);

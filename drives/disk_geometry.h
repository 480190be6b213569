// A drive's geometry as the platform reports it (the four factors and the
// media type), kept free of windows.h so that the arithmetic on it is portable.
#pragma once

#include <cstdint>

struct DiskGeometry {
    std::int64_t cylinders = 0;
    std::uint32_t mediaType = 0;
    std::uint32_t tracksPerCylinder = 0;
    std::uint32_t sectorsPerTrack = 0;
    std::uint32_t bytesPerSector = 0;
};

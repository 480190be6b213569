// A drive's raw volume as the capacity query and the format job use it.
// The Win32 volume implements it; tests put fakes behind it.
#pragma once

#include "drives/disk_geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

// An open volume; destroying it closes the handle.
class RawVolume {
public:
    virtual ~RawVolume() = default;

    // nullopt when the device does not answer (no card in the reader).
    virtual std::optional<DiskGeometry> ReadGeometry() = 0;

    // The device's real length, where the platform can tell it.
    virtual std::optional<std::uint64_t> LengthBytes() = 0;

    // Bytes written at offsetBytes: all of them, or fewer (0 included) when
    // the write failed. A write reaching past the device's end fails whole.
    virtual std::uint32_t Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) = 0;

    // Bytes read at offsetBytes, in whole sectors; fewer on a failure.
    virtual std::uint32_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) = 0;

    // How often the system has seen the reader's medium change, where the
    // device keeps count: a new card raises it even when it looks the same.
    virtual std::optional<std::uint32_t> MediaChangeCount() { return std::nullopt; }

    // Before a long series of raw writes: take the volume from the file
    // system where the platform allows it. Failing that, writes may fail.
    virtual void PrepareForRawWrites() = 0;
};

class RawVolumeOpener {
public:
    virtual ~RawVolumeOpener() = default;

    // Opens "\\.\X:" for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) = 0;
};

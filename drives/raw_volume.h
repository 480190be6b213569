// A drive's raw volume as the capacity query and the format job use it.
// The Win32 volume implements it; tests put fakes behind it.
#pragma once

#include "drives/disk_geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

// What taking the card for a format came to.
enum class CardTaking {
    claimed,
    // The reader answers nothing.
    noCard,
    // The volume is one partition and the whole card cannot be reached.
    notWholeCard,
    // A volume on the card is in use by another program.
    inUse,
    // Another format, in this program or another, holds the card.
    otherFormat,
};

// Why a write or read of the card failed, as the platform tells it.
enum class WriteFailure {
    writeProtected,
    // The card left the reader.
    cardRemoved,
    // Another program holds the card.
    inUse,
    // The disk that holds the card's image is full.
    diskFull,
    ioError,
};

// An open volume; destroying it closes the handle and gives the card back.
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

    // Before the first write: takes the card for this job alone, every
    // volume on it from its file system, until the volume is destroyed.
    // Anything but claimed: nothing has been written, and nothing may be.
    virtual CardTaking ClaimCard() = 0;

    // Why the last Write or Read that fell short failed; nullopt where the
    // platform does not say.
    virtual std::optional<WriteFailure> LastFailure() { return std::nullopt; }

    // After the build: gives the card back and has the system read the
    // layout the build wrote. False when the system still shows another
    // (the card must be inserted again before it is used).
    virtual bool GiveBack() { return true; }

    // The card's exFAT flash-parameters sector, read before the job's first
    // write took it from the card: kept with the hold on the card, where the
    // platform's card library joins that hold for its build.
    virtual void KeepOemParameters(std::span<const std::uint8_t, 512> /*sector*/) {}
};

class RawVolumeOpener {
public:
    virtual ~RawVolumeOpener() = default;

    // Opens the card behind "\\.\X:" (the whole card where the platform
    // can reach it); nullptr when it cannot be opened.
    virtual std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) = 0;
};

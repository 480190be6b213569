// The format job's raw volume over an image file or a Linux block device.
// The job names its drive by letter; here one run formats one path, so the
// opener is bound to that path and the letter it is given is only a token.
#pragma once

#include "drives/raw_volume.h"

#include <cstdint>
#include <optional>
#include <string>

// What became of the job's writes, for the program's last words: how far
// they reached, and why one was refused.
struct VolumeWrites {
    enum class Refusal {
        none,
        writeProtected,  // a read-only medium: a locked card
        notPermitted,    // the system's permissions, a read-only mount, an immutable image
        shortened,       // the image or device shrank since it was opened: a pulled card
        stopped,         // a stop signal came
        failed,          // the device failed the write
    };
    std::uint64_t lengthBytes = 0;   // of the volume opened last
    std::uint64_t reachedBytes = 0;  // the end of the last write that went through
    Refusal refusal = Refusal::none;
    int error = 0;  // errno, for notPermitted and failed
};

// What Windows reports for media without a geometry of their own: 255 tracks
// per cylinder, 63 sectors per track, whole cylinders of the device's length.
DiskGeometry DerivedGeometry(std::uint64_t lengthBytes, std::uint32_t bytesPerSector);

class PosixRawVolumeOpener : public RawVolumeOpener {
public:
    // lengthLimit: a card's real capacity, when it reports more.
    explicit PosixRawVolumeOpener(std::string path, std::optional<std::uint64_t> lengthLimit = std::nullopt)
        : path_(std::move(path)), lengthLimit_(lengthLimit)
    {
    }

    // Read-write, or read-only when only that is permitted (a locked card, or
    // no permission): the trial write then fails, and Writes() says why. After
    // a stop signal every write is refused.
    std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) override;

    const VolumeWrites& Writes() const { return writes_; }

private:
    std::string path_;
    std::optional<std::uint64_t> lengthLimit_;
    VolumeWrites writes_;
};

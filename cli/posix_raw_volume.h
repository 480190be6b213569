// The format job's raw volume over an image file or a Linux block device.
// The job names its drive by letter; here one run formats one card, so the
// opener is bound to the claim's one open of it and the letter it is given
// is only a token.
#pragma once

#include "cli/volume_writes.h"
#include "drives/raw_volume.h"
#include "guard/card_claim.h"

#include <cstdint>
#include <optional>
#include <string>

// What Windows reports for media without a geometry of their own: 255 tracks
// per cylinder, 63 sectors per track, whole cylinders of the device's length.
DiskGeometry DerivedGeometry(std::uint64_t lengthBytes, std::uint32_t bytesPerSector);

class PosixRawVolumeOpener : public RawVolumeOpener {
public:
    // lengthLimit: a card's real capacity, when it reports more.
    explicit PosixRawVolumeOpener(const CardClaim& claim, std::optional<std::uint64_t> lengthLimit = std::nullopt)
        : claim_(claim), lengthLimit_(lengthLimit)
    {
    }

    // The claim's descriptor: read-write, or read-only when only that is
    // permitted (a locked card, or no permission): the trial write then
    // fails, and Writes() says why. After a stop signal every write is
    // refused. The path naming another card, or the card's length
    // changing, leaves it without a length, which no sample matches.
    std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) override;

    const VolumeWrites& Writes() const { return writes_; }

private:
    const CardClaim& claim_;
    std::optional<std::uint64_t> lengthLimit_;
    VolumeWrites writes_;
};

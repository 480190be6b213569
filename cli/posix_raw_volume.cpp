#include "cli/posix_raw_volume.h"

#include "guard/device_length.h"
#include "guard/stop_signals.h"
#include "guard/write_failure_text.h"
#include "trellan/file_device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kDerivedTracksPerCylinder = 255;
constexpr std::uint32_t kDerivedSectorsPerTrack = 63;
// Sectors a person is told of: the cards' 512 bytes, whatever the device's.
constexpr std::uint64_t kCardSectorBytes = 512;

using Refusal = VolumeWrites::Refusal;

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// Why a volume opens only for reading, or refuses a write as not permitted:
// a block device that says it is read-only is a locked card; anything else
// is the system's refusal.
Refusal ReadOnlyReason(int descriptor)
{
    int readOnly = 0;
    return DeviceKindOf(descriptor) == DeviceKind::blockDevice && ::ioctl(descriptor, BLKROGET, &readOnly) == 0 &&
                   readOnly != 0
               ? Refusal::writeProtected
               : Refusal::notPermitted;
}

class PosixRawVolume : public RawVolume {
public:
    // The claim keeps the descriptor open; readOnly: none when it was opened
    // for writing, else why not.
    PosixRawVolume(const CardClaim& claim, std::optional<std::uint64_t> lengthLimit, VolumeWrites& writes,
                   Refusal readOnly)
        : claim_(claim), descriptor_(claim.Descriptor()),
          imageFile_(DeviceKindOf(descriptor_) == DeviceKind::imageFile), length_(DeviceLengthBytes(descriptor_)),
          writes_(writes), readOnly_(readOnly)
    {
        if (length_ && lengthLimit) {
            length_ = std::min(*length_, *lengthLimit);
        }
        writes_.lengthBytes = length_.value_or(0);
    }

    std::optional<DiskGeometry> ReadGeometry() override
    {
        const std::optional<std::uint64_t> length = LengthBytes();
        // No length is a reader without a card, as on Windows.
        if (!length || *length == 0) {
            return std::nullopt;
        }
        return DerivedGeometry(*length, DeviceSectorBytes(descriptor_));
    }

    // Measured once, at open: a write must not move the end it is checked
    // against. Once the path names another card, or the card's length has
    // changed, the card claimed has none: it is no longer the card named.
    std::optional<std::uint64_t> LengthBytes() override { return claim_.ChangeCount() == 0 ? length_ : std::nullopt; }

    std::uint32_t Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override
    {
        // The job stops after the write in flight; the program says how far it got.
        if (StopSignal() != 0) {
            return Refuse(Refusal::stopped, 0, offsetBytes);
        }
        if (readOnly_ != Refusal::none) {
            return Refuse(readOnly_, claim_.ReadWriteError(), offsetBytes);
        }
        // An image file would grow; a card has an end.
        if (!length_ || offsetBytes > *length_ || bytes.size() > *length_ - offsetBytes) {
            return 0;
        }
        // A hole is punched only inside the card's live length: KEEP_SIZE grows nothing.
        const std::optional<std::uint64_t> liveLength = DeviceLengthBytes(descriptor_);
        if (imageFile_ && liveLength && offsetBytes <= *liveLength && bytes.size() <= *liveLength - offsetBytes &&
            IsAllZero(bytes) && PunchHole(offsetBytes, bytes.size())) {
            return Reached(offsetBytes, bytes.size());
        }
        // An image cut short since (a pulled card) must not grow back.
        if (const int error = trellan::write_in_place(descriptor_, offsetBytes, bytes); error != 0) {
            const Refusal refusal = error == ENXIO             ? Refusal::shortened
                                    : IsPermissionError(error) ? ReadOnlyReason(descriptor_)
                                                               : Refusal::failed;
            return Refuse(refusal, error, offsetBytes);
        }
        return Reached(offsetBytes, bytes.size());
    }

    std::uint32_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count =
                ::pread(descriptor_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offsetBytes + done));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        return static_cast<std::uint32_t>(done);
    }

    // The command line has already claimed the card for the whole job, and
    // its mount checks refused a volume in use: nothing is left to take.
    CardTaking ClaimCard() override { return CardTaking::claimed; }

private:
    std::uint32_t Refuse(Refusal refusal, int error, std::uint64_t offsetBytes)
    {
        writes_.refusal = refusal;
        writes_.error = error;
        writes_.failedOffsetBytes = offsetBytes;
        writes_.reason = WriteFailureText(error, offsetBytes / kCardSectorBytes);
        return 0;
    }

    std::uint32_t Reached(std::uint64_t offsetBytes, std::size_t countBytes)
    {
        writes_.reachedBytes = offsetBytes + countBytes;
        return static_cast<std::uint32_t>(countBytes);
    }

    static bool IsAllZero(std::span<const std::uint8_t> bytes)
    {
        // Each byte equals the next and the first is zero: one memcmp, which
        // keeps a Complete pass over a large image from being bound by this test.
        return bytes.empty() || (bytes[0] == 0 && std::memcmp(bytes.data(), bytes.data() + 1, bytes.size() - 1) == 0);
    }

    // Zeroes in an image file become a hole, so that erasing a large sparse
    // image does not fill the disk it lives on. Fails on a read-only
    // descriptor, as the write would.
    bool PunchHole(std::uint64_t offsetBytes, std::size_t countBytes)
    {
        return fallocate(descriptor_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offsetBytes),
                         static_cast<off_t>(countBytes)) == 0;
    }

    const CardClaim& claim_;
    int descriptor_;
    bool imageFile_;
    std::optional<std::uint64_t> length_;
    VolumeWrites& writes_;
    Refusal readOnly_;
};

}  // namespace

DiskGeometry DerivedGeometry(std::uint64_t lengthBytes, std::uint32_t bytesPerSector)
{
    const std::uint64_t cylinderBytes =
        std::uint64_t{kDerivedTracksPerCylinder} * kDerivedSectorsPerTrack * bytesPerSector;
    return DiskGeometry{
        .cylinders = cylinderBytes == 0 ? 0 : static_cast<std::int64_t>(lengthBytes / cylinderBytes),
        .mediaType = 0,
        .tracksPerCylinder = kDerivedTracksPerCylinder,
        .sectorsPerTrack = kDerivedSectorsPerTrack,
        .bytesPerSector = bytesPerSector,
    };
}

std::unique_ptr<RawVolume> PosixRawVolumeOpener::OpenRawVolume(char /*driveLetter*/)
{
    if (claim_.Descriptor() < 0) {
        return nullptr;
    }
    const Refusal readOnly = claim_.ReadWriteError() == 0 ? Refusal::none : ReadOnlyReason(claim_.Descriptor());
    return std::make_unique<PosixRawVolume>(claim_, lengthLimit_, writes_, readOnly);
}

#include "cli/posix_raw_volume.h"

#include "guard/device_length.h"
#include "guard/stop_signals.h"

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
    // readOnly: none when the descriptor was opened for writing, else why not.
    PosixRawVolume(int descriptor, std::optional<std::uint64_t> lengthLimit, VolumeWrites& writes, Refusal readOnly,
                   int openError)
        : descriptor_(descriptor), imageFile_(DeviceKindOf(descriptor) == DeviceKind::imageFile),
          length_(DeviceLengthBytes(descriptor)), writes_(writes), readOnly_(readOnly), openError_(openError)
    {
        if (length_ && lengthLimit) {
            length_ = std::min(*length_, *lengthLimit);
        }
        writes_.lengthBytes = length_.value_or(0);
    }
    ~PosixRawVolume() override { ::close(descriptor_); }
    PosixRawVolume(const PosixRawVolume&) = delete;
    PosixRawVolume& operator=(const PosixRawVolume&) = delete;

    std::optional<DiskGeometry> ReadGeometry() override
    {
        const std::optional<std::uint64_t> length = LengthBytes();
        // No length is a reader without a card, as on Windows.
        if (!length || *length == 0) {
            return std::nullopt;
        }
        return DerivedGeometry(*length, DeviceSectorBytes(descriptor_));
    }

    // Measured once, at open: a write must not move the end it is checked against.
    std::optional<std::uint64_t> LengthBytes() override { return length_; }

    std::uint32_t Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override
    {
        // The job stops after the write in flight; the program says how far it got.
        if (StopSignal() != 0) {
            return Refuse(Refusal::stopped, 0);
        }
        if (readOnly_ != Refusal::none) {
            return Refuse(readOnly_, openError_);
        }
        // An image file would grow; a card has an end.
        if (!length_ || offsetBytes > *length_ || bytes.size() > *length_ - offsetBytes) {
            return 0;
        }
        // And an image cut short since (a pulled card) must not grow back.
        const std::optional<std::uint64_t> liveLength = DeviceLengthBytes(descriptor_);
        if (!liveLength || offsetBytes > *liveLength || bytes.size() > *liveLength - offsetBytes) {
            return Refuse(Refusal::shortened, 0);
        }
        if (imageFile_ && IsAllZero(bytes) && PunchHole(offsetBytes, bytes.size())) {
            return Reached(offsetBytes, bytes.size());
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count =
                ::pwrite(descriptor_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offsetBytes + done));
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                const int error = count < 0 ? errno : EIO;
                Refuse(IsPermissionError(error) ? ReadOnlyReason(descriptor_) : Refusal::failed, error);
                break;
            }
            done += static_cast<std::size_t>(count);
        }
        return done == bytes.size() ? Reached(offsetBytes, done) : static_cast<std::uint32_t>(done);
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

    // The command line has already claimed the path for the whole job, and
    // its mount checks refused a volume in use: nothing is left to take.
    CardTaking ClaimCard() override { return CardTaking::claimed; }

private:
    std::uint32_t Refuse(Refusal refusal, int error)
    {
        writes_.refusal = refusal;
        writes_.error = error;
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

    int descriptor_;
    bool imageFile_;
    std::optional<std::uint64_t> length_;
    VolumeWrites& writes_;
    Refusal readOnly_;
    int openError_;
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
    int descriptor = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
    const int openError = descriptor < 0 ? errno : 0;
    Refusal readOnly = Refusal::none;
    if (descriptor < 0 && IsPermissionError(openError)) {
        descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        readOnly = descriptor < 0 ? Refusal::none : ReadOnlyReason(descriptor);
    }
    if (descriptor < 0) {
        return nullptr;
    }
    return std::make_unique<PosixRawVolume>(descriptor, lengthLimit_, writes_, readOnly, openError);
}

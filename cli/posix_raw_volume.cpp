#include "cli/posix_raw_volume.h"

#include "cli/device_length.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kDerivedTracksPerCylinder = 255;
constexpr std::uint32_t kDerivedSectorsPerTrack = 63;

class PosixRawVolume : public RawVolume {
public:
    PosixRawVolume(int descriptor, std::optional<std::uint64_t> lengthLimit)
        : descriptor_(descriptor), imageFile_(DeviceKindOf(descriptor) == DeviceKind::imageFile),
          length_(DeviceLengthBytes(descriptor))
    {
        if (length_ && lengthLimit) {
            length_ = std::min(*length_, *lengthLimit);
        }
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
        // An image file would grow; a card has an end.
        if (!length_ || offsetBytes > *length_ || bytes.size() > *length_ - offsetBytes) {
            return 0;
        }
        if (imageFile_ && IsAllZero(bytes) && PunchHole(offsetBytes, bytes.size())) {
            return static_cast<std::uint32_t>(bytes.size());
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count = ::pwrite(descriptor_, bytes.data() + done, bytes.size() - done,
                                           static_cast<off_t>(offsetBytes + done));
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

    std::uint32_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t count = ::pread(descriptor_, bytes.data() + done, bytes.size() - done,
                                          static_cast<off_t>(offsetBytes + done));
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

    // The mount checks have already refused a volume in use; there is no
    // file system to take the volume from.
    void PrepareForRawWrites() override {}

private:
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
    if (descriptor < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        descriptor = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (descriptor < 0) {
        return nullptr;
    }
    return std::make_unique<PosixRawVolume>(descriptor, lengthLimit_);
}

#include "guard/device_length.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

DeviceKind DeviceKindOf(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        return DeviceKind::other;
    }
    if (S_ISREG(status.st_mode)) {
        return DeviceKind::imageFile;
    }
    return S_ISBLK(status.st_mode) ? DeviceKind::blockDevice : DeviceKind::other;
}

std::optional<std::uint64_t> DeviceLengthBytes(int descriptor)
{
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        return std::nullopt;
    }
    if (S_ISREG(status.st_mode)) {
        return static_cast<std::uint64_t>(status.st_size);
    }
    std::uint64_t lengthBytes = 0;
    if (S_ISBLK(status.st_mode) && ioctl(descriptor, BLKGETSIZE64, &lengthBytes) == 0) {
        return lengthBytes;
    }
    return std::nullopt;
}

std::uint32_t DeviceSectorBytes(int descriptor)
{
    constexpr std::uint32_t kImageSectorBytes = 512;
    int sectorBytes = 0;
    if (DeviceKindOf(descriptor) == DeviceKind::blockDevice && ioctl(descriptor, BLKSSZGET, &sectorBytes) == 0 &&
        sectorBytes > 0) {
        return static_cast<std::uint32_t>(sectorBytes);
    }
    return kImageSectorBytes;
}

#include "guard/target_inspection.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

TargetIdentity IdentifyTarget(const std::string& path)
{
    TargetIdentity identity;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        identity.problem = std::string("cannot open it: ") + std::strerror(errno);
    } else if (S_ISREG(status.st_mode)) {
        identity.kind = DeviceKind::imageFile;
        identity.file = {status.st_dev, status.st_ino};
    } else if (S_ISBLK(status.st_mode)) {
        identity.kind = DeviceKind::blockDevice;
        identity.deviceNumber = {major(status.st_rdev), minor(status.st_rdev)};
    } else {
        identity.problem = "it is neither an image file nor a block device";
    }
    return identity;
}

TargetMeasure MeasureTarget(int descriptor)
{
    TargetMeasure measure;
    const std::optional<std::uint64_t> length = DeviceLengthBytes(descriptor);
    measure.sectorBytes = DeviceSectorBytes(descriptor);
    // A read proves the medium answers (a reader without a card may open but fails here).
    char firstByte = 0;
    const bool readable = length && *length > 0 && ::pread(descriptor, &firstByte, 1, 0) == 1;
    const int readError = errno;

    if (!length) {
        measure.problem = "its size cannot be read";
    } else if (*length == 0) {
        measure.problem = "it has zero length (no medium, or an empty image)";
    } else if (!readable) {
        measure.problem = std::string("it cannot be read: ") + std::strerror(readError);
    } else {
        measure.lengthBytes = *length;
    }
    return measure;
}

#include "format/cli/target_inspection.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

TargetInspection InspectTarget(const std::string& path)
{
    TargetInspection inspection;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        inspection.problem = std::string("cannot open it: ") + std::strerror(errno);
        return inspection;
    }
    inspection.kind = DeviceKindOf(descriptor);
    const std::optional<std::uint64_t> length = DeviceLengthBytes(descriptor);
    inspection.sectorBytes = DeviceSectorBytes(descriptor);
    struct stat status {};
    if (inspection.kind == DeviceKind::blockDevice && fstat(descriptor, &status) == 0) {
        inspection.deviceNumber = {major(status.st_rdev), minor(status.st_rdev)};
    }
    // A read proves the medium answers (a reader without a card opens but fails here).
    char firstByte = 0;
    const bool readable = length && *length > 0 && ::pread(descriptor, &firstByte, 1, 0) == 1;
    const int readError = errno;
    ::close(descriptor);

    if (inspection.kind == DeviceKind::other) {
        inspection.problem = "it is neither an image file nor a block device";
    } else if (!length) {
        inspection.problem = "its size cannot be read";
    } else if (*length == 0) {
        inspection.problem = "it has zero length (no medium, or an empty image)";
    } else if (!readable) {
        inspection.problem = std::string("it cannot be read: ") + std::strerror(readError);
    } else {
        inspection.lengthBytes = *length;
    }
    return inspection;
}

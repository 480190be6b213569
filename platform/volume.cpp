#include "platform/volume.h"

#include "platform/disk_calls.h"

namespace {

// The geometry Windows gives media that report none of their own.
constexpr DWORD kDerivedTracksPerCylinder = 255;
constexpr DWORD kDerivedSectorsPerTrack = 63;
constexpr DWORD kDerivedBytesPerSector = 512;

constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

}  // namespace

std::string VolumePath(char driveLetter)
{
    return std::string("\\\\.\\") + driveLetter + ":";
}

std::string RootPath(char driveLetter)
{
    return std::string(1, driveLetter) + ":\\";
}

bool IsNotSupported(DWORD error)
{
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_PARAMETER;
}

bool ControlDevice(HANDLE handle, DWORD code)
{
    DWORD returned = 0;
    return Disk().Control(handle, code, nullptr, 0, nullptr, 0, &returned) || IsNotSupported(GetLastError());
}

HANDLE OpenReadWrite(const std::string& path, DWORD flags)
{
    return Disk().Open(path, GENERIC_READ | GENERIC_WRITE, kShareBoth, flags);
}

std::optional<ULONGLONG> DeviceLength(HANDLE handle)
{
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    if (Disk().Control(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info, &returned)) {
        return info.Length.QuadPart;
    }
    LARGE_INTEGER size{};
    if (Disk().Size(handle, &size) && size.QuadPart > 0) {
        return size.QuadPart;
    }
    LARGE_INTEGER end{};
    if (Disk().Seek(handle, LARGE_INTEGER{}, &end, FILE_END)) {
        return end.QuadPart;
    }
    return std::nullopt;
}

bool DeviceGeometry(HANDLE handle, DISK_GEOMETRY& geometry)
{
    DWORD returned = 0;
    if (Disk().Control(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &returned)) {
        return true;
    }
    if (handle == INVALID_HANDLE_VALUE || !IsNotSupported(GetLastError())) {
        return false;
    }
    // A device of no length is a reader without a card (an empty image under
    // Wine), as a real reader's "not ready" is.
    const std::optional<ULONGLONG> length = DeviceLength(handle);
    if (!length || *length == 0) {
        return false;
    }
    constexpr ULONGLONG cylinderBytes =
        ULONGLONG{kDerivedTracksPerCylinder} * kDerivedSectorsPerTrack * kDerivedBytesPerSector;
    geometry = {};
    geometry.Cylinders.QuadPart = static_cast<LONGLONG>(*length / cylinderBytes);
    geometry.MediaType = RemovableMedia;
    geometry.TracksPerCylinder = kDerivedTracksPerCylinder;
    geometry.SectorsPerTrack = kDerivedSectorsPerTrack;
    geometry.BytesPerSector = kDerivedBytesPerSector;
    return true;
}

std::optional<ULONG> MediaChangeCount(HANDLE handle)
{
    ULONG count = 0;
    DWORD returned = 0;
    if (!Disk().Control(handle, IOCTL_STORAGE_CHECK_VERIFY2, nullptr, 0, &count, sizeof count, &returned) ||
        returned < sizeof count) {
        return std::nullopt;
    }
    return count;
}

namespace {

bool SeekTo(HANDLE handle, ULONGLONG offset)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return Disk().Seek(handle, position, nullptr, FILE_BEGIN) != 0;
}

}  // namespace

DWORD ReadAt(HANDLE handle, ULONGLONG offset, void* buffer, DWORD bytes)
{
    DWORD read = 0;
    if (!SeekTo(handle, offset) || !Disk().Read(handle, buffer, bytes, &read)) {
        return 0;
    }
    return read;
}

DWORD WriteWithin(HANDLE handle, ULONGLONG offset, const void* buffer, DWORD bytes)
{
    // Without a known end no write can be shown to stay on the card. Asked
    // before every write; the file's own size first, which Wine answers
    // without a round trip to its server (an image's size is the card's),
    // then the device's length (a disk or volume on Windows has no file size).
    LARGE_INTEGER fileSize{};
    const std::optional<ULONGLONG> length = Disk().Size(handle, &fileSize) && fileSize.QuadPart > 0
                                                ? std::optional<ULONGLONG>(fileSize.QuadPart)
                                                : DeviceLength(handle);
    if (!length || offset > *length || bytes > *length - offset) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return 0;
    }
    DWORD written = 0;
    if (!SeekTo(handle, offset) || !Disk().Write(handle, buffer, bytes, &written)) {
        return 0;
    }
    return written;
}

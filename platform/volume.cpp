#include "platform/volume.h"

#include <cstdio>

namespace {

// The geometry Windows gives media that report none of their own.
constexpr DWORD kDerivedTracksPerCylinder = 255;
constexpr DWORD kDerivedSectorsPerTrack = 63;
constexpr DWORD kDerivedBytesPerSector = 512;

bool NotImplemented(DWORD error)
{
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

}  // namespace

bool Volume::Open(char driveLetter)
{
    Close();
    char path[12];
    std::snprintf(path, sizeof path, "\\\\.\\%c:", driveLetter);
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    handle_ = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD error = GetLastError();
    if (!IsOpen() && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)) {
        handle_ = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    return IsOpen();
}

void Volume::Close()
{
    if (IsOpen()) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

bool Volume::GetDriveGeometry(DISK_GEOMETRY& geometry)
{
    DWORD returned = 0;
    if (DeviceIoControl(handle_, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                        sizeof geometry, &returned, nullptr)) {
        return true;
    }
    if (!IsOpen() || !NotImplemented(GetLastError())) {
        return false;
    }
    // A device of no length is a reader without a card (an empty image under
    // Wine), as a real reader's "not ready" is.
    const std::optional<ULONGLONG> length = GetLength();
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

std::optional<ULONGLONG> Volume::GetLength()
{
    if (!IsOpen()) {
        return std::nullopt;
    }
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    LARGE_INTEGER size{};
    LARGE_INTEGER end{};
    if (DeviceIoControl(handle_, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &info, sizeof info,
                        &returned, nullptr)) {
        return info.Length.QuadPart;
    }
    if (GetFileSizeEx(handle_, &size)) {
        return size.QuadPart;
    }
    if (SetFilePointerEx(handle_, LARGE_INTEGER{}, &end, FILE_END)) {
        return end.QuadPart;
    }
    return std::nullopt;
}

bool Volume::SeekTo(ULONGLONG offset)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN) != 0;
}

DWORD Volume::Read(ULONGLONG offset, void* buffer, DWORD bytes)
{
    DWORD read = 0;
    if (!SeekTo(offset) || !ReadFile(handle_, buffer, bytes, &read, nullptr)) {
        return 0;
    }
    return read;
}

DWORD Volume::Write(ULONGLONG offset, const void* buffer, DWORD bytes)
{
    // Without a known end no write can be shown to stay on the card.
    const std::optional<ULONGLONG> length = GetLength();
    if (!length || offset > *length || bytes > *length - offset) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return 0;
    }
    DWORD written = 0;
    if (!SeekTo(offset) || !WriteFile(handle_, buffer, bytes, &written, nullptr)) {
        return 0;
    }
    return written;
}

void Volume::LockAndDismount()
{
    DWORD returned = 0;
    const bool locked =
        DeviceIoControl(handle_, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    const DWORD error = GetLastError();
    // Dismounting a volume that others still hold would pull it from under
    // them; without the lock, leave the file system as it is.
    if (locked || NotImplemented(error) || error == ERROR_INVALID_PARAMETER) {
        DeviceIoControl(handle_, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
    }
}

// Raw access to a drive's volume "\\.\X:": its geometry and length, and
// bytes at 64-bit offsets. Owns the handle.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <optional>

class Volume {
public:
    Volume() = default;
    ~Volume() { Close(); }
    Volume(const Volume&) = delete;
    Volume& operator=(const Volume&) = delete;

    // CreateFileA with GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ |
    // FILE_SHARE_WRITE, OPEN_EXISTING. A device that refuses write access
    // (a read-only image) is opened for reading, as a write-protected card
    // opens: it shows its size, and its writes fail.
    bool Open(char driveLetter);
    void Close();
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    // IOCTL_DISK_GET_DRIVE_GEOMETRY. Where the device does not implement the
    // request but its length is known, the geometry Windows reports for such
    // media: 255 tracks of 63 sectors of 512 bytes, whole cylinders only.
    // A reader without a card fails.
    bool GetDriveGeometry(DISK_GEOMETRY& geometry);

    // IOCTL_DISK_GET_LENGTH_INFO, else GetFileSizeEx, else the end's offset;
    // asked anew each time, so a card pulled or swapped is seen at once.
    std::optional<ULONGLONG> GetLength();

    // Bytes transferred; 0 on failure. A write that would reach past the
    // device's end as it is now fails whole: an image file behind the volume
    // never grows, not even one truncated while the handle was open.
    DWORD Read(ULONGLONG offset, void* buffer, DWORD bytes);
    DWORD Write(ULONGLONG offset, const void* buffer, DWORD bytes);

    // FSCTL_LOCK_VOLUME, then FSCTL_DISMOUNT_VOLUME, so that raw writes reach
    // sectors that a mounted file system would guard. Best effort: a device
    // that supports neither is written as it is. Closing releases the lock.
    void LockAndDismount();

private:
    bool SeekTo(ULONGLONG offset);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

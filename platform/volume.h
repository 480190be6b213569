// Raw access to disks and volumes, for the program and the card library
// alike (through DiskCalls): the paths, the length and geometry, bytes at
// 64-bit offsets, the answers of devices that do not implement a request.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <optional>
#include <string>

// "\\.\E:", the volume's device path.
std::string VolumePath(char driveLetter);
// "E:\", what GetDriveTypeA takes.
std::string RootPath(char driveLetter);

// Requests that devices and drivers do not implement (Wine, image files,
// some readers) answer 1, 50 or 87.
bool IsNotSupported(DWORD error);

// An argument-less DeviceIoControl; true when done, or when the device does
// not implement it.
bool ControlDevice(HANDLE handle, DWORD code);

// CreateFileA for reading and writing, shared both ways, OPEN_EXISTING,
// with the given FILE_FLAG_ flags.
HANDLE OpenReadWrite(const std::string& path, DWORD flags = 0);

// IOCTL_DISK_GET_LENGTH_INFO, else GetFileSizeEx, else the end's offset; the
// end is also asked when the size reads 0, as Wine answers for a block
// device. Asked anew each time, so a card pulled or swapped is seen at once.
std::optional<ULONGLONG> DeviceLength(HANDLE handle);

// IOCTL_DISK_GET_DRIVE_GEOMETRY. Where the device does not implement the
// request but its length is known, the geometry Windows reports for such
// media: 255 tracks of 63 sectors of 512 bytes, whole cylinders only.
// A reader without a card fails.
bool DeviceGeometry(HANDLE handle, DISK_GEOMETRY& geometry);

// Bytes transferred at offset; 0 on failure. A write that would reach past
// the device's end as it is now fails whole: an image file behind a volume
// never grows, not even one truncated while the handle was open.
DWORD ReadAt(HANDLE handle, ULONGLONG offset, void* buffer, DWORD bytes);
DWORD WriteWithin(HANDLE handle, ULONGLONG offset, const void* buffer, DWORD bytes);

// IOCTL_STORAGE_CHECK_VERIFY2: the device's count of media changes;
// nullopt where the device keeps none.
std::optional<ULONG> MediaChangeCount(HANDLE handle);

// The disks a format must never touch: the one holding the running Windows
// (its Windows directory) and those holding a page file.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

namespace trellan {

// Disk numbers the volume of this handle lies on, when the system can say
// (IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS); empty when it cannot.
std::vector<DWORD> volume_disk_numbers(HANDLE volume);

// Drive letters (upper case) of the Windows volume and of every page file.
std::vector<char> system_drive_letters();

// Whether the drive is a system drive, or lies on a disk that one lies on.
// Only what can be proven counts: a drive whose disks cannot be read is
// judged by its letter alone.
bool is_system_drive(char letter, HANDLE volume);

}  // namespace trellan

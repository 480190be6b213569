// Finding the card behind a drive letter: the disk its volume lies on, and
// the card's other volumes, without touching any other disk of the machine.
#pragma once

#include "platform/card_session.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Read and write where the device allows, else read only, else queries
// only: a write-protected card opens as one, shows its size, and its writes
// fail; a volume another format has locked opens for queries, enough to
// learn whose it is. access: what the handle was opened with.
HANDLE OpenDevice(const std::string& path, DWORD flags = 0, DWORD* access = nullptr);

// Where a volume lies: one extent on one disk.
struct VolumeExtent {
    DWORD disk = 0;
    ULONGLONG startBytes = 0;
    ULONGLONG lengthBytes = 0;
};
std::optional<VolumeExtent> SingleExtentOf(HANDLE volume);

// What the volume says of the card it lies on.
struct FoundCard {
    // The whole card: its disk, opened with the volume's flags.
    HANDLE disk = INVALID_HANDLE_VALUE;
    DWORD diskAccess = 0;
    std::optional<DWORD> diskNumber;
    // Every disk query answered "not supported" (Wine): the volume is the
    // whole image, and lock and re-read answer the same.
    bool volumeIsCard = false;
    CardRefusal refusal = CardRefusal::none;
};
FoundCard FindCardOf(HANDLE volume, DWORD flags);

// The names of the mounted volumes other than `own` whose extents lie on
// the disk, found through handles without data access: opening a volume
// for data spins up its disk and mounts what the system left unmounted.
std::vector<std::string> OtherVolumesOnDisk(DWORD diskNumber, const std::optional<VolumeExtent>& own);

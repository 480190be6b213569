// The drive's raw volume on Win32, for the format job and the capacity query.
#pragma once

#include <windows.h>

#include "drives/raw_volume.h"

// Why a transfer failed, by the system's error code: only error 19 is a
// write-protected card.
WriteFailure WriteFailureOf(DWORD error);

class Win32RawVolumeOpener : public RawVolumeOpener {
public:
    std::unique_ptr<RawVolume> OpenRawVolume(char driveLetter) override;
};

// Opens the volume, reads its geometry and closes it again. nullopt when it
// cannot be opened or does not answer (no card in the reader).
std::optional<DiskGeometry> ReadDriveGeometry(char driveLetter);

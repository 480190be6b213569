// Trellan_ProbeDevice: what kind of device a drive letter leads to, and
// whether it must never be offered for a format.
#include <windows.h>

#include <optional>

#include "platform/disk_calls.h"
#include "platform/volume.h"
#include "trellan/trellan.h"
#include "trellan/win32/device_identity.h"
#include "trellan/win32/win32_handle.h"

extern "C" int Trellan_ProbeDevice(char letter, unsigned char* id)
{
    using namespace trellan;
    if (id == nullptr || !is_drive_letter(letter)) {
        return 0;
    }
    const QuietCriticalErrors quiet;
    // No access rights needed: only queries follow.
    UniqueHandle volume(Disk().Open(VolumePath(letter), 0, FILE_SHARE_READ | FILE_SHARE_WRITE));
    if (!volume.valid()) {
        return 0;
    }
    const std::optional<std::uint8_t> identity = identify_device(letter, volume.get());
    if (!identity) {
        return 0;
    }
    *id = *identity;
    return 1;
}

// Trellan_ProbeDevice: what kind of device a drive letter leads to, and
// whether it must never be offered for a format.
#include <windows.h>
#include <winioctl.h>

#include "trellan/trellan.h"
#include "trellan/win32/probe_identity.h"
#include "trellan/win32/system_disks.h"
#include "trellan/win32/win32_handle.h"

extern "C" int Trellan_ProbeDevice(char letter, unsigned char* id)
{
    using namespace trellan;
    if (id == nullptr || !is_drive_letter(letter)) {
        return 0;
    }
    // No access rights needed: only queries follow.
    UniqueHandle volume(CreateFileA(volume_path(letter).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!volume.valid()) {
        return 0;
    }
    if (is_system_drive(letter, volume.get())) {
        *id = probe_identity::never_offer;
        return 1;
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &descriptor,
                         sizeof(descriptor), &returned, nullptr) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(descriptor.BusType)) {
        return 0;
    }
    *id = probe_identity_byte(static_cast<int>(descriptor.BusType), descriptor.RemovableMedia != FALSE, false);
    return 1;
}

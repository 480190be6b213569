#include "trellan/win32/device_identity.h"

#include <winioctl.h>

#include <cstddef>

#include "platform/disk_calls.h"
#include "trellan/win32/probe_identity.h"
#include "trellan/win32/system_disks.h"

namespace trellan {

std::optional<std::uint8_t> identify_device(char letter, HANDLE volume)
{
    if (is_system_drive(letter, volume)) {
        return probe_identity::never_offer;
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    DWORD returned = 0;
    if (!Disk().Control(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof(query), &descriptor, sizeof(descriptor),
                        &returned) ||
        returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(descriptor.BusType)) {
        return std::nullopt;
    }
    return probe_identity_byte(static_cast<int>(descriptor.BusType), descriptor.RemovableMedia != FALSE, false);
}

bool is_never_offered(std::optional<std::uint8_t> identity)
{
    return identity && (*identity & probe_identity::kind_mask) == probe_identity::never_offer;
}

}  // namespace trellan

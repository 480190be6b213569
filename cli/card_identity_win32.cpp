#include "cli/card_identity_win32.h"

#include "platform/disk_calls.h"
#include "platform/volume.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// Room for the descriptor and the strings it points into.
constexpr DWORD kDescriptorBytes = 1024;

std::string BusName(STORAGE_BUS_TYPE bus)
{
    switch (bus) {
    case BusTypeUsb:
        return "USB";
    case BusTypeSd:
        return "SD";
    case BusTypeMmc:
        return "MMC";
    case BusTypeAta:
    case BusTypeSata:
        return "ATA";
    case BusTypeScsi:
        return "SCSI";
    default:
        return "other";
    }
}

// The string the descriptor holds at offset, without the blanks drivers pad
// it with; "" where it holds none.
std::string DescriptorText(const std::vector<BYTE>& answer, DWORD returned, DWORD offset)
{
    if (offset == 0 || offset >= returned) {
        return {};
    }
    const char* first = reinterpret_cast<const char*>(answer.data() + offset);
    std::string text(first, strnlen(first, returned - offset));
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

std::optional<CardIdentity> ReadCardIdentity(char driveLetter)
{
    // Access 0: a query, which neither needs the card nor disturbs a hold on it.
    const HANDLE volume = Disk().Open(VolumePath(driveLetter), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (volume == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<BYTE> answer(kDescriptorBytes);
    DWORD returned = 0;
    const BOOL answered = Disk().Control(volume, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, answer.data(),
                                         kDescriptorBytes, &returned);
    Disk().Close(volume);
    if (!answered || returned < sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
        return std::nullopt;
    }
    STORAGE_DEVICE_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, answer.data(), sizeof descriptor);
    CardIdentity identity;
    identity.bus = BusName(descriptor.BusType);
    identity.readerVendor = DescriptorText(answer, returned, descriptor.VendorIdOffset);
    identity.readerModel = DescriptorText(answer, returned, descriptor.ProductIdOffset);
    if (identity.readerVendor.empty() && identity.readerModel.empty()) {
        return std::nullopt;
    }
    return identity;
}

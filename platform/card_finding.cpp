#include "platform/card_finding.h"

#include "platform/disk_calls.h"
#include "platform/volume.h"

#include <winioctl.h>

namespace {

// ERROR_NO_SUCH_DEVICE, "a device which does not exist was specified",
// which the headers here lack.
constexpr DWORD kNoSuchDevice = 433;

constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::optional<DWORD> DiskNumberOf(HANDLE handle)
{
    STORAGE_DEVICE_NUMBER number{};
    DWORD returned = 0;
    if (!Disk().Control(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &returned) ||
        number.DeviceType != FILE_DEVICE_DISK) {
        return std::nullopt;
    }
    return number.DeviceNumber;
}

// Why the disk behind a volume cannot be opened, by the error: a card
// pulled, or held exclusively by another program, is not "one partition".
CardRefusal DiskOpenRefusal(DWORD error)
{
    switch (error) {
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case kNoSuchDevice:
        return CardRefusal::noCard;
    case ERROR_SHARING_VIOLATION:
        return CardRefusal::inUse;
    default:
        return CardRefusal::notWholeCard;
    }
}

// The disk, when it holds the extent whole.
HANDLE OpenDiskHolding(const VolumeExtent& extent, DWORD flags, CardRefusal& refusal, DWORD& access)
{
    HANDLE disk = OpenDevice("\\\\.\\PhysicalDrive" + std::to_string(extent.disk), flags, &access);
    if (disk == INVALID_HANDLE_VALUE) {
        refusal = DiskOpenRefusal(GetLastError());
        return disk;
    }
    const std::optional<ULONGLONG> diskBytes = DeviceLength(disk);
    if (diskBytes && extent.startBytes <= *diskBytes && extent.lengthBytes <= *diskBytes - extent.startBytes) {
        return disk;
    }
    Disk().Close(disk);
    refusal = CardRefusal::notWholeCard;
    return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE OpenDevice(const std::string& path, DWORD flags, DWORD* access)
{
    HANDLE handle = OpenReadWrite(path, flags);
    DWORD opened = GENERIC_READ | GENERIC_WRITE;
    for (const DWORD fallback : {DWORD{GENERIC_READ}, DWORD{0}}) {
        const DWORD error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE || (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT)) {
            break;
        }
        handle = Disk().Open(path, fallback, kShareBoth, flags);
        opened = fallback;
    }
    if (access != nullptr) {
        *access = opened;
    }
    return handle;
}

std::optional<VolumeExtent> SingleExtentOf(HANDLE volume)
{
    VOLUME_DISK_EXTENTS extents{};
    DWORD returned = 0;
    if (!Disk().Control(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents, sizeof extents,
                        &returned)) {
        return std::nullopt;
    }
    if (extents.NumberOfDiskExtents != 1) {
        SetLastError(ERROR_MORE_DATA);
        return std::nullopt;
    }
    const DISK_EXTENT& extent = extents.Extents[0];
    return VolumeExtent{.disk = extent.DiskNumber,
                        .startBytes = static_cast<ULONGLONG>(extent.StartingOffset.QuadPart),
                        .lengthBytes = static_cast<ULONGLONG>(extent.ExtentLength.QuadPart)};
}

// The card is the disk the volume's extents (or its partition and device
// number) lie on, and the disk must hold them, also where the volume
// starts at the disk's offset 0 (a card without a partition table): the
// documentation promises nothing of reads and writes through a dismounted
// volume. Only where the platform answers every disk query "not supported"
// (Wine, whose volume is the whole image) is the volume the card. A device
// number alone proves nothing (Wine gives every drive the same one).
FoundCard FindCardOf(HANDLE volume, DWORD flags)
{
    FoundCard found;
    DWORD returned = 0;
    PARTITION_INFORMATION_EX partition{};
    const bool partitionKnown =
        Disk().Control(volume, IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &partition, sizeof partition, &returned);
    const DWORD partitionError = partitionKnown ? ERROR_SUCCESS : GetLastError();
    std::optional<VolumeExtent> extent = SingleExtentOf(volume);
    const DWORD extentsError = extent ? ERROR_SUCCESS : GetLastError();
    if (!extent && partitionKnown) {
        if (const std::optional<DWORD> number = DiskNumberOf(volume)) {
            extent = VolumeExtent{.disk = *number,
                                  .startBytes = static_cast<ULONGLONG>(partition.StartingOffset.QuadPart),
                                  .lengthBytes = static_cast<ULONGLONG>(partition.PartitionLength.QuadPart)};
        }
    }
    if (extent) {
        found.disk = OpenDiskHolding(*extent, flags, found.refusal, found.diskAccess);
        if (found.disk != INVALID_HANDLE_VALUE) {
            found.diskNumber = extent->disk;
            found.refusal = CardRefusal::none;
        } else if (extent->startBytes == 0 && found.refusal == CardRefusal::notWholeCard) {
            // A volume from the disk's first byte covers the card from its
            // start: where the disk cannot be opened it stands for the card.
            found.diskNumber = extent->disk;
            found.refusal = CardRefusal::none;
        }
        return found;
    }
    if (!partitionKnown && IsNotSupported(partitionError) && IsNotSupported(extentsError)) {
        found.volumeIsCard = true;
        return found;
    }
    found.refusal = partitionError == ERROR_NOT_READY ? CardRefusal::noCard : CardRefusal::notWholeCard;
    return found;
}

std::vector<std::string> OtherVolumesOnDisk(DWORD diskNumber, const std::optional<VolumeExtent>& own)
{
    std::vector<std::string> others;
    for (std::string name : Disk().VolumeNames()) {
        // Opened as a device: the name without its trailing backslash.
        if (!name.empty() && name.back() == '\\') {
            name.pop_back();
        }
        const HANDLE query = Disk().Open(name, 0, kShareBoth);
        if (query == INVALID_HANDLE_VALUE) {
            continue;
        }
        const std::optional<VolumeExtent> extent = SingleExtentOf(query);
        Disk().Close(query);
        const bool ours = extent && own && extent->disk == own->disk && extent->startBytes == own->startBytes;
        if (extent && extent->disk == diskNumber && !ours) {
            others.push_back(name);
        }
    }
    return others;
}

#include "platform/card_release.h"

#include "platform/disk_calls.h"
#include "platform/volume.h"
#include "trellan/byte_order.h"
#include "trellan/mbr_fields.h"

#include <winioctl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <optional>
#include <span>

namespace {

constexpr std::size_t kMbrBytes = 512;
// An unbuffered disk handle takes buffers aligned to its physical sector:
// a page is a multiple of every one a card has.
constexpr std::size_t kBufferAlignment = 4096;
constexpr DWORD kArrivalWaitMs = 5000;
constexpr DWORD kArrivalPollMs = 100;

struct AlignedFree {
    void operator()(std::uint8_t* bytes) const { _aligned_free(bytes); }
};
using SectorBuffer = std::unique_ptr<std::uint8_t, AlignedFree>;

SectorBuffer ReadSectorZero(HANDLE disk)
{
    SectorBuffer sector(static_cast<std::uint8_t*>(_aligned_malloc(kMbrBytes, kBufferAlignment)));
    if (!sector || ReadAt(disk, 0, sector.get(), kMbrBytes) != kMbrBytes) {
        return nullptr;
    }
    return sector;
}

// The one partition the build wrote, as the MBR's first entry gives it.
struct Entry {
    ULONGLONG startBytes = 0;
    ULONGLONG lengthBytes = 0;
    BYTE type = 0;
    bool active = false;
    DWORD signature = 0;
};

std::optional<Entry> FirstEntryOf(const std::uint8_t* sector, DWORD sectorBytes)
{
    using namespace trellan;
    const std::span<const std::uint8_t> mbr(sector, kMbrBytes);
    const std::span<const std::uint8_t> entry = mbr.subspan(mbr_offset::first_entry, mbr_partition_entry_bytes);
    if (load_le16(mbr, mbr_offset::signature) != boot_signature || entry[partition_entry_offset::type] == 0) {
        return std::nullopt;
    }
    return Entry{.startBytes = ULONGLONG{load_le32(entry, partition_entry_offset::start_lba)} * sectorBytes,
                 .lengthBytes = ULONGLONG{load_le32(entry, partition_entry_offset::length)} * sectorBytes,
                 .type = entry[partition_entry_offset::type],
                 .active = entry[partition_entry_offset::boot_indicator] == boot_indicator_active,
                 .signature = load_le32(mbr, mbr_offset::disk_signature)};
}

// An MBR layout of four entries, as Windows reports and takes one.
struct FourEntryLayout {
    DRIVE_LAYOUT_INFORMATION_EX layout;
    PARTITION_INFORMATION_EX more[3];
};

// The layout Windows holds shows exactly the entry, and nothing beside it.
bool LayoutShows(HANDLE disk, const Entry& expected)
{
    FourEntryLayout held{};
    DWORD returned = 0;
    if (!Disk().Control(disk, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, nullptr, 0, &held, sizeof held, &returned) ||
        held.layout.PartitionStyle != PARTITION_STYLE_MBR || held.layout.PartitionCount == 0) {
        return false;
    }
    const PARTITION_INFORMATION_EX& first = held.layout.PartitionEntry[0];
    if (static_cast<ULONGLONG>(first.StartingOffset.QuadPart) != expected.startBytes ||
        static_cast<ULONGLONG>(first.PartitionLength.QuadPart) != expected.lengthBytes ||
        first.Mbr.PartitionType != expected.type) {
        return false;
    }
    const DWORD count = std::min<DWORD>(held.layout.PartitionCount, 4);
    for (DWORD e = 1; e < count; ++e) {
        if (held.more[e - 1].Mbr.PartitionType != 0 && held.more[e - 1].PartitionLength.QuadPart != 0) {
            return false;
        }
    }
    return true;
}

bool SetLayout(HANDLE disk, const Entry& entry)
{
    FourEntryLayout layout{};
    layout.layout.PartitionStyle = PARTITION_STYLE_MBR;
    layout.layout.PartitionCount = 4;
    layout.layout.Mbr.Signature = entry.signature;
    PARTITION_INFORMATION_EX& first = layout.layout.PartitionEntry[0];
    first.PartitionStyle = PARTITION_STYLE_MBR;
    first.StartingOffset.QuadPart = static_cast<LONGLONG>(entry.startBytes);
    first.PartitionLength.QuadPart = static_cast<LONGLONG>(entry.lengthBytes);
    first.PartitionNumber = 1;
    first.RewritePartition = TRUE;
    first.Mbr.PartitionType = entry.type;
    first.Mbr.BootIndicator = entry.active;
    first.Mbr.RecognizedPartition = TRUE;
    for (PARTITION_INFORMATION_EX& unused : layout.more) {
        unused.PartitionStyle = PARTITION_STYLE_MBR;
        unused.RewritePartition = TRUE;
    }
    DWORD returned = 0;
    return Disk().Control(disk, IOCTL_DISK_SET_DRIVE_LAYOUT_EX, &layout, sizeof layout, nullptr, 0, &returned) != 0;
}

// The letter's volume, arrived where the entry starts.
bool VolumeArrived(char driveLetter, const Entry& entry)
{
    for (DWORD waited = 0;; waited += kArrivalPollMs) {
        const HANDLE volume = Disk().Open(VolumePath(driveLetter), 0, FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (volume != INVALID_HANDLE_VALUE) {
            PARTITION_INFORMATION_EX partition{};
            DWORD returned = 0;
            const bool there = Disk().Control(volume, IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &partition,
                                              sizeof partition, &returned) &&
                               static_cast<ULONGLONG>(partition.StartingOffset.QuadPart) == entry.startBytes;
            Disk().Close(volume);
            if (there) {
                return true;
            }
        }
        if (waited >= kArrivalWaitMs) {
            return false;
        }
        Disk().Pause(kArrivalPollMs);
    }
}

DWORD SectorBytesOf(HANDLE disk)
{
    DISK_GEOMETRY geometry{};
    return DeviceGeometry(disk, geometry) && geometry.BytesPerSector != 0 ? geometry.BytesPerSector : 512;
}

}  // namespace

bool ShowNewLayout(HANDLE disk, char driveLetter)
{
    const SectorBuffer built = ReadSectorZero(disk);
    const std::optional<Entry> entry = built ? FirstEntryOf(built.get(), SectorBytesOf(disk)) : std::nullopt;
    DWORD returned = 0;
    Disk().Control(disk, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned);
    if (!entry) {
        return true;
    }
    if (!LayoutShows(disk, *entry)) {
        if (!SetLayout(disk, *entry) || !LayoutShows(disk, *entry)) {
            return false;
        }
        // Windows writes the table with fields of its own (CHS): the
        // builder's sector goes back, which holds the same entry.
        const SectorBuffer written = ReadSectorZero(disk);
        if (!written || std::memcmp(written.get(), built.get(), kMbrBytes) != 0) {
            WriteWithin(disk, 0, built.get(), kMbrBytes);
        }
    }
    return VolumeArrived(driveLetter, *entry);
}

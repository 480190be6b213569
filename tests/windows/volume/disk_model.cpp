#include "disk_model.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace {

constexpr DWORD kTracksPerCylinder = 255;
constexpr DWORD kSectorsPerTrack = 63;
// STORAGE_BUS_TYPE's BusTypeSd: a card in a native SD host.
constexpr STORAGE_BUS_TYPE kSdBus = static_cast<STORAGE_BUS_TYPE>(12);

char Upper(char letter)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

template <typename Value>
BOOL Answer(void* out, DWORD outBytes, DWORD* returned, const Value& answer)
{
    if (out == nullptr || outBytes < sizeof(Value)) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, &answer, sizeof(Value));
    *returned = sizeof(Value);
    return TRUE;
}

}  // namespace

DiskModel::DiskModel()
{
    SetDiskCallsForTests(this);
}

DiskModel::~DiskModel()
{
    SetDiskCallsForTests(nullptr);
}

std::size_t DiskModel::AddCard(const Card& card)
{
    std::lock_guard guard(m_lock);
    CardState state;
    state.layout = card;
    for (const Partition& partition : card.partitions) {
        state.partitions.push_back(PartitionState{.layout = partition});
    }
    state.bytes.resize(card.lengthBytes);
    m_cards.push_back(std::move(state));
    const std::size_t index = m_cards.size() - 1;
    for (std::uint64_t sector = 0; sector < card.lengthBytes / card.sectorBytes; ++sector) {
        const std::vector<std::uint8_t> old = OldSector(index, sector);
        std::copy(old.begin(), old.end(), m_cards[index].bytes.begin() + sector * card.sectorBytes);
    }
    return index;
}

std::vector<std::uint8_t> DiskModel::OldSector(std::size_t card, std::uint64_t sector) const
{
    std::vector<std::uint8_t> bytes(m_cards[card].layout.sectorBytes, 0xA5);
    std::memcpy(bytes.data(), "OLD DATA", 8);
    std::memcpy(bytes.data() + 8, &sector, sizeof sector);
    return bytes;
}

void DiskModel::SetWriteProtected(std::size_t card, bool writeProtected)
{
    std::lock_guard guard(m_lock);
    m_cards[card].writeProtected = writeProtected;
}

void DiskModel::SetDiskOpenRefused(std::size_t card, bool refused)
{
    std::lock_guard guard(m_lock);
    m_cards[card].diskOpenRefused = refused;
}

void DiskModel::SetUsbReader(std::size_t card, const std::string& vendor, const std::string& model)
{
    std::lock_guard guard(m_lock);
    m_cards[card].readerVendor = vendor;
    m_cards[card].readerModel = model;
}

void DiskModel::SetCardPresent(std::size_t card, bool present)
{
    std::lock_guard guard(m_lock);
    m_cards[card].mediaChanges += present && !m_cards[card].present ? 1 : 0;
    m_cards[card].present = present;
}

void DiskModel::SetLockAnswer(std::size_t card, DWORD error)
{
    std::lock_guard guard(m_lock);
    m_cards[card].lockAnswer = error;
}

void DiskModel::SetUnreadableFrom(std::size_t card, std::uint64_t offsetBytes)
{
    std::lock_guard guard(m_lock);
    m_cards[card].unreadableFrom = offsetBytes;
}

void DiskModel::SetRereadIgnored(std::size_t card, bool ignored)
{
    std::lock_guard guard(m_lock);
    m_cards[card].rereadIgnored = ignored;
}

void DiskModel::SetLayoutRefused(std::size_t card, bool refused)
{
    std::lock_guard guard(m_lock);
    m_cards[card].layoutRefused = refused;
}

// "Windows creates the System Volume Information folder on every volume it
// mounts" (learn.microsoft.com/troubleshoot/windows-client/deployment/
// system-volume-information-folder): the folder, its files and the file
// system's tables for them are written by the system, not by any program
// that asked.
void DiskModel::SystemWritesToMountedVolumes(std::size_t card)
{
    std::lock_guard guard(m_lock);
    CardState& state = m_cards[card];
    for (const PartitionState& partition : state.partitions) {
        if (partition.mounted && partition.lockedBy == nullptr && partition.layout.fileSystemBytes > 64 * 1024) {
            const auto at = static_cast<std::ptrdiff_t>(partition.layout.startBytes + 64 * 1024);
            std::fill_n(state.bytes.begin() + at, state.layout.sectorBytes, std::uint8_t{0x53});
        }
    }
}

std::optional<std::uint64_t> DiskModel::VolumeStart(char letter) const
{
    std::lock_guard guard(m_lock);
    for (const CardState& card : m_cards) {
        for (const PartitionState& partition : card.partitions) {
            if (partition.layout.letter == Upper(letter) && card.arrivalOpensLeft == 0) {
                return partition.layout.startBytes;
            }
        }
    }
    return std::nullopt;
}

std::vector<std::uint8_t> DiskModel::VolumeBootSector(char letter) const
{
    const std::optional<std::uint64_t> start = VolumeStart(letter);
    std::lock_guard guard(m_lock);
    for (const CardState& card : m_cards) {
        for (const PartitionState& partition : card.partitions) {
            if (start && partition.layout.letter == Upper(letter)) {
                const auto at = card.bytes.begin() + static_cast<std::ptrdiff_t>(*start);
                return {at, at + card.layout.sectorBytes};
            }
        }
    }
    return {};
}

std::size_t DiskModel::DataOpensOf(std::size_t card) const
{
    std::lock_guard guard(m_lock);
    return m_cards[card].dataOpens;
}

void DiskModel::Pause(DWORD milliseconds)
{
    std::lock_guard guard(m_lock);
    m_clockMs += milliseconds;
}

// SetThreadExecutionState (learn.microsoft.com/windows/win32/api/winbase/
// nf-winbase-setthreadexecutionstate): disk activity is not user activity;
// only ES_SYSTEM_REQUIRED with ES_CONTINUOUS keeps idle sleep off until the
// thread clears it.
EXECUTION_STATE DiskModel::SetExecutionState(EXECUTION_STATE state)
{
    std::lock_guard guard(m_lock);
    return std::exchange(m_executionState, state);
}

std::string DiskModel::VolumeNameOf(std::size_t card, std::size_t partition)
{
    return "\\\\?\\Volume{00000000-0000-0000-0000-" + std::to_string(100000000000 + card * 1000 + partition) + "}\\";
}

HANDLE DiskModel::HoldOpen(char letter, Holder holder, DWORD share)
{
    const HANDLE handle = Open(std::string("\\\\.\\") + letter + ":", GENERIC_READ, share);
    std::lock_guard guard(m_lock);
    if (OpenHandle* open = Find(handle)) {
        open->holder = holder;
    }
    return handle;
}

DiskModel::OpenHandle* DiskModel::Find(HANDLE handle)
{
    const auto found = m_handles.find(handle);
    return found == m_handles.end() ? nullptr : &found->second;
}

// CreateFile, "Physical Disks and Volumes"
// (learn.microsoft.com/windows/win32/api/fileapi/nf-fileapi-createfilea):
// "\\.\X:" opens the volume, one partition; "\\.\PhysicalDriveN" the disk.
// Under Wine the volume is the whole image.
DiskModel::Region DiskModel::RegionOf(const OpenHandle& open) const
{
    const CardState& card = m_cards[open.card];
    if (!open.partition || card.layout.wine) {
        return {0, card.layout.lengthBytes};
    }
    const Partition& partition = card.partitions[*open.partition].layout;
    return {partition.startBytes, partition.lengthBytes};
}

HANDLE DiskModel::Add(const OpenHandle& open)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(m_nextHandle);
    m_nextHandle += 4;
    m_handles[handle] = open;
    return handle;
}

// CreateFile, "Sharing mode" (learn.microsoft.com/windows/win32/api/fileapi/
// nf-fileapi-createfilea): an open for reading or writing fails with error
// 32 when a handle already open does not share that access, or when the new
// one does not share the access of one already open. Opens without data
// access (0) neither conflict nor count.
bool DiskModel::SharingConflicts(const OpenHandle& open) const
{
    if (open.access == 0) {
        return false;
    }
    return std::any_of(m_handles.begin(), m_handles.end(), [&](const auto& entry) {
        const OpenHandle& other = entry.second;
        if (other.card != open.card || other.partition != open.partition || other.access == 0 || other.invalidated) {
            return false;
        }
        const auto refuses = [](DWORD access, DWORD share) {
            return ((access & GENERIC_READ) != 0 && (share & FILE_SHARE_READ) == 0) ||
                   ((access & GENERIC_WRITE) != 0 && (share & FILE_SHARE_WRITE) == 0);
        };
        return refuses(open.access, other.share) || refuses(other.access, open.share);
    });
}

HANDLE DiskModel::Open(const std::string& path, DWORD access, DWORD share, DWORD flags)
{
    std::lock_guard guard(m_lock);
    for (std::size_t c = 0; c < m_cards.size(); ++c) {
        CardState& card = m_cards[c];
        OpenHandle disk;
        disk.card = c;
        disk.access = access;
        disk.share = share;
        disk.flags = flags;
        for (std::size_t p = 0; p < card.partitions.size(); ++p) {
            PartitionState& partition = card.partitions[p];
            // A volume opens by its letter, or by its name without the
            // trailing backslash, whether it has a letter or not.
            const std::string name = VolumeNameOf(c, p);
            const bool byLetter =
                partition.layout.letter != 0 && path == std::string("\\\\.\\") + partition.layout.letter + ":";
            if (!byLetter && path != name.substr(0, name.size() - 1)) {
                continue;
            }
            // IOCTL_DISK_UPDATE_PROPERTIES (learn.microsoft.com/windows/win32/
            // api/winioctl/ni-winioctl-ioctl_disk_update_properties): the
            // partitions of a re-read layout arrive as new devices, a moment
            // later.
            if (card.arrivalOpensLeft > 0) {
                --card.arrivalOpensLeft;
                SetLastError(ERROR_FILE_NOT_FOUND);
                return INVALID_HANDLE_VALUE;
            }
            // FSCTL_LOCK_VOLUME (learn.microsoft.com/windows/win32/api/winioctl/
            // ni-winioctl-fsctl_lock_volume): a locked volume is reached only
            // through the handle that locked it. A dismounted volume that is not
            // locked is mounted again by the next access.
            if (partition.lockedBy != nullptr && access != 0 && !card.layout.wine) {
                SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
            OpenHandle volume = disk;
            volume.partition = p;
            if (!card.layout.wine && SharingConflicts(volume)) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return INVALID_HANDLE_VALUE;
            }
            if (partition.lockedBy == nullptr) {
                partition.mounted = true;
            }
            card.dataOpens += access != 0 ? 1 : 0;
            return Add(volume);
        }
        if (!card.layout.wine && path == "\\\\.\\PhysicalDrive" + std::to_string(card.layout.diskNumber)) {
            if (card.diskOpenRefused) {
                SetLastError(ERROR_ACCESS_DENIED);
                return INVALID_HANDLE_VALUE;
            }
            if (SharingConflicts(disk)) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return INVALID_HANDLE_VALUE;
            }
            card.dataOpens += access != 0 ? 1 : 0;
            return Add(disk);
        }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL DiskModel::Control(HANDLE handle, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned)
{
    std::lock_guard guard(m_lock);
    OpenHandle* open = Find(handle);
    if (open == nullptr || open->invalidated) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    *returned = 0;
    return Control(*open, handle, code, in, inBytes, out, outBytes, returned);
}

// A holder registered for the volume's notifications is told of the first
// lock attempt and closes its handle a while later.
void DiskModel::LetHoldersGo(const OpenHandle& open)
{
    for (auto entry = m_handles.begin(); entry != m_handles.end();) {
        OpenHandle& other = entry->second;
        const bool sameVolume = other.card == open.card && other.partition == open.partition;
        if (sameVolume && other.holder == Holder::letsGoWhenLocked) {
            if (!other.letGoAtMs) {
                other.letGoAtMs = m_clockMs + kLetGoDelayMs;
            } else if (m_clockMs >= *other.letGoAtMs) {
                entry = m_handles.erase(entry);
                continue;
            }
        }
        ++entry;
    }
}

bool DiskModel::AnyVolumeLocked(const CardState& card) const
{
    return std::any_of(card.partitions.begin(), card.partitions.end(),
                       [](const PartitionState& partition) { return partition.lockedBy != nullptr; });
}

BOOL DiskModel::Control(OpenHandle& open, HANDLE handle, DWORD code, const void* in, DWORD inBytes, void* out,
                        DWORD outBytes, DWORD* returned)
{
    CardState& card = m_cards[open.card];
    const Region region = RegionOf(open);
    if (card.layout.wine) {
        // As measured under Wine 8 (design notes, "Wine is not Windows").
        switch (code) {
        case FSCTL_LOCK_VOLUME:
        case FSCTL_UNLOCK_VOLUME:
            return TRUE;
        case FSCTL_DISMOUNT_VOLUME:
            return Fail(ERROR_INVALID_PARAMETER);
        case IOCTL_STORAGE_GET_DEVICE_NUMBER:
            return Answer(out, outBytes, returned, STORAGE_DEVICE_NUMBER{FILE_DEVICE_DISK, 1, 1});
        default:
            return Fail(ERROR_NOT_SUPPORTED);
        }
    }
    // "Defining I/O Control Codes" (learn.microsoft.com/windows-hardware/
    // drivers/kernel/defining-i-o-control-codes): the code's access bits name
    // the rights the handle must have been opened with.
    const DWORD required = (code >> 14) & 3;
    if (((required & FILE_READ_ACCESS) != 0 && (open.access & GENERIC_READ) == 0) ||
        ((required & FILE_WRITE_ACCESS) != 0 && (open.access & GENERIC_WRITE) == 0)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    // System Error Codes (learn.microsoft.com/windows/win32/debug/
    // system-error-codes--0-499-): a reader without a card is not ready (21)
    // for everything that needs the medium.
    const bool needsMedium = code != FSCTL_LOCK_VOLUME && code != FSCTL_UNLOCK_VOLUME &&
                             code != FSCTL_DISMOUNT_VOLUME && code != IOCTL_STORAGE_QUERY_PROPERTY &&
                             code != IOCTL_STORAGE_GET_DEVICE_NUMBER;
    if (!card.present && needsMedium) {
        return Fail(ERROR_NOT_READY);
    }
    switch (code) {
    case FSCTL_LOCK_VOLUME:
    case FSCTL_UNLOCK_VOLUME:
    case FSCTL_DISMOUNT_VOLUME:
    case FSCTL_ALLOW_EXTENDED_DASD_IO:
        return ControlVolume(open, handle, code);
    case IOCTL_DISK_UPDATE_PROPERTIES:
    case IOCTL_DISK_GET_DRIVE_LAYOUT_EX:
    case IOCTL_DISK_SET_DRIVE_LAYOUT_EX:
        return ControlLayout(open, code, in, inBytes, out, outBytes, returned);
    // IOCTL_STORAGE_QUERY_PROPERTY: a removable card on an SD host, or in a
    // USB reader that names itself in strings after the descriptor, of which
    // a short buffer gets what fits.
    case IOCTL_STORAGE_QUERY_PROPERTY: {
        STORAGE_DEVICE_DESCRIPTOR descriptor{};
        descriptor.RemovableMedia = TRUE;
        descriptor.BusType = card.readerVendor.empty() ? kSdBus : BusTypeUsb;
        std::string strings;
        if (!card.readerVendor.empty()) {
            descriptor.VendorIdOffset = sizeof descriptor;
            strings = card.readerVendor + '\0';
            descriptor.ProductIdOffset = static_cast<DWORD>(sizeof descriptor + strings.size());
            strings += card.readerModel + '\0';
        }
        descriptor.Size = static_cast<DWORD>(sizeof descriptor + strings.size());
        if (out == nullptr || outBytes < sizeof descriptor) {
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::vector<BYTE> answer(descriptor.Size);
        std::memcpy(answer.data(), &descriptor, sizeof descriptor);
        std::copy(strings.begin(), strings.end(), answer.begin() + sizeof descriptor);
        *returned = std::min<DWORD>(outBytes, descriptor.Size);
        std::memcpy(out, answer.data(), *returned);
        return TRUE;
    }
    // IOCTL_STORAGE_GET_DEVICE_NUMBER: the card's disk, partition 0 for the disk.
    case IOCTL_STORAGE_GET_DEVICE_NUMBER:
        return Answer(out, outBytes, returned,
                      STORAGE_DEVICE_NUMBER{FILE_DEVICE_DISK, card.layout.diskNumber,
                                            open.partition ? static_cast<DWORD>(*open.partition + 1) : 0});
    // IOCTL_STORAGE_CHECK_VERIFY2 (learn.microsoft.com/windows-hardware/drivers/
    // ddi/ntddstor/ni-ntddstor-ioctl_storage_check_verify2): the media change count.
    case IOCTL_STORAGE_CHECK_VERIFY2:
    case IOCTL_STORAGE_CHECK_VERIFY:
        return Answer(out, outBytes, returned, card.mediaChanges);
    // IOCTL_DISK_IS_WRITABLE: error 19 for a write-protected card.
    case IOCTL_DISK_IS_WRITABLE:
        return card.writeProtected ? Fail(ERROR_WRITE_PROTECT) : TRUE;
    case IOCTL_DISK_GET_DRIVE_GEOMETRY: {
        DISK_GEOMETRY geometry{};
        geometry.MediaType = RemovableMedia;
        geometry.TracksPerCylinder = kTracksPerCylinder;
        geometry.SectorsPerTrack = kSectorsPerTrack;
        geometry.BytesPerSector = card.layout.sectorBytes;
        geometry.Cylinders.QuadPart = static_cast<LONGLONG>(
            card.layout.lengthBytes / (ULONGLONG{kTracksPerCylinder} * kSectorsPerTrack * card.layout.sectorBytes));
        return Answer(out, outBytes, returned, geometry);
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
        GET_LENGTH_INFORMATION length{};
        length.Length.QuadPart = static_cast<LONGLONG>(region.lengthBytes);
        return Answer(out, outBytes, returned, length);
    }
    // IOCTL_DISK_GET_PARTITION_INFO_EX: where the volume starts on its disk;
    // on the disk itself, offset 0 and the whole length.
    case IOCTL_DISK_GET_PARTITION_INFO_EX: {
        PARTITION_INFORMATION_EX info{};
        info.PartitionStyle = PARTITION_STYLE_MBR;
        info.StartingOffset.QuadPart = static_cast<LONGLONG>(region.startBytes);
        info.PartitionLength.QuadPart = static_cast<LONGLONG>(region.lengthBytes);
        info.PartitionNumber = open.partition ? static_cast<DWORD>(*open.partition + 1) : 0;
        return Answer(out, outBytes, returned, info);
    }
    // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS: volumes only.
    case IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS: {
        if (!open.partition) {
            return Fail(ERROR_INVALID_FUNCTION);
        }
        VOLUME_DISK_EXTENTS extents{};
        extents.NumberOfDiskExtents = 1;
        extents.Extents[0].DiskNumber = card.layout.diskNumber;
        extents.Extents[0].StartingOffset.QuadPart = static_cast<LONGLONG>(region.startBytes);
        extents.Extents[0].ExtentLength.QuadPart = static_cast<LONGLONG>(region.lengthBytes);
        return Answer(out, outBytes, returned, extents);
    }
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

BOOL DiskModel::ControlVolume(OpenHandle& open, HANDLE handle, DWORD code)
{
    if (!open.partition) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    PartitionState& partition = m_cards[open.card].partitions[*open.partition];
    switch (code) {
    // FSCTL_LOCK_VOLUME: fails while any other handle has the volume open
    // for data; programs registered for the volume's notifications are told
    // of the attempt.
    case FSCTL_LOCK_VOLUME: {
        if (const std::optional<DWORD> answer = m_cards[open.card].lockAnswer) {
            return Fail(*answer);
        }
        LetHoldersGo(open);
        const bool othersOpen = std::any_of(m_handles.begin(), m_handles.end(), [&](const auto& entry) {
            return entry.first != handle && entry.second.card == open.card &&
                   entry.second.partition == open.partition && entry.second.access != 0 && !entry.second.invalidated;
        });
        if (othersOpen || (partition.lockedBy != nullptr && partition.lockedBy != handle)) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        partition.lockedBy = handle;
        return TRUE;
    }
    // FSCTL_UNLOCK_VOLUME (…/ni-winioctl-fsctl_unlock_volume).
    case FSCTL_UNLOCK_VOLUME:
        if (partition.lockedBy != handle) {
            return Fail(ERROR_NOT_LOCKED);
        }
        partition.lockedBy = nullptr;
        return TRUE;
    // FSCTL_DISMOUNT_VOLUME (…/ni-winioctl-fsctl_dismount_volume): dismounts
    // whoever uses the volume; without the lock, every other handle to it
    // becomes invalid. A volume another handle has locked is not dismounted.
    case FSCTL_DISMOUNT_VOLUME:
        if (partition.lockedBy != nullptr && partition.lockedBy != handle) {
            return Fail(ERROR_ACCESS_DENIED);
        }
        if (partition.lockedBy == nullptr) {
            for (auto& [other, state] : m_handles) {
                if (other != handle && state.card == open.card && state.partition == open.partition) {
                    state.invalidated = true;
                }
            }
        }
        partition.mounted = false;
        return TRUE;
    // FSCTL_ALLOW_EXTENDED_DASD_IO (…/ni-winioctl-fsctl_allow_extended_dasd_io):
    // the file system stops cutting this handle's I/O at its own end.
    default:
        open.extendedDasd = true;
        return TRUE;
    }
}

// The partition manager keeps the layout it last read: the volumes lie where
// it says, whatever sector 0 holds now, until the disk handle asks for a
// re-read (IOCTL_DISK_UPDATE_PROPERTIES) or sets a layout
// (IOCTL_DISK_SET_DRIVE_LAYOUT_EX, learn.microsoft.com/windows/win32/api/
// winioctl/ni-winioctl-ioctl_disk_set_drive_layout_ex). Where the pages are
// silent the model is strict: a volume of the disk that is still locked
// keeps the old layout in place (the re-read answers, and changes nothing),
// and a volume handle's request reaches no disk.
BOOL DiskModel::ControlLayout(OpenHandle& open, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes,
                              DWORD* returned)
{
    CardState& card = m_cards[open.card];
    if (code == IOCTL_DISK_UPDATE_PROPERTIES) {
        if (!open.partition && !card.rereadIgnored && !card.layoutRefused && !AnyVolumeLocked(card)) {
            RereadLayout(card);
        }
        return TRUE;
    }
    if (open.partition) {
        return Fail(ERROR_INVALID_FUNCTION);
    }
    // IOCTL_DISK_GET_DRIVE_LAYOUT_EX (…/ni-winioctl-ioctl_disk_get_drive_layout_ex):
    // an MBR disk reports its four table entries, unused ones of type 0.
    struct FourEntries {
        DRIVE_LAYOUT_INFORMATION_EX layout;
        PARTITION_INFORMATION_EX more[3];
    };
    if (code == IOCTL_DISK_GET_DRIVE_LAYOUT_EX) {
        FourEntries answer{};
        answer.layout.PartitionStyle = PARTITION_STYLE_MBR;
        answer.layout.PartitionCount = 4;
        answer.layout.Mbr.Signature = card.signature;
        for (std::size_t p = 0; p < card.partitions.size() && p < 4; ++p) {
            PARTITION_INFORMATION_EX& entry = p == 0 ? answer.layout.PartitionEntry[0] : answer.more[p - 1];
            entry.PartitionStyle = PARTITION_STYLE_MBR;
            entry.StartingOffset.QuadPart = static_cast<LONGLONG>(card.partitions[p].layout.startBytes);
            entry.PartitionLength.QuadPart = static_cast<LONGLONG>(card.partitions[p].layout.lengthBytes);
            entry.PartitionNumber = static_cast<DWORD>(p + 1);
            entry.Mbr.PartitionType = card.partitions[p].layout.type;
            entry.Mbr.RecognizedPartition = TRUE;
        }
        return Answer(out, outBytes, returned, answer);
    }
    // IOCTL_DISK_SET_DRIVE_LAYOUT_EX writes the table and the disk signature
    // into sector 0, keeping the boot code before them, with CHS fields of
    // its own, and takes the layout.
    if (card.layoutRefused || AnyVolumeLocked(card)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (in == nullptr || inBytes < sizeof(DRIVE_LAYOUT_INFORMATION_EX)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const auto* layout = static_cast<const DRIVE_LAYOUT_INFORMATION_EX*>(in);
    const DWORD entries = std::min<DWORD>(
        {layout->PartitionCount, 4,
         static_cast<DWORD>(1 + (inBytes - sizeof(DRIVE_LAYOUT_INFORMATION_EX)) / sizeof(PARTITION_INFORMATION_EX))});
    std::uint8_t* mbr = card.bytes.data();
    std::memcpy(mbr + 440, &layout->Mbr.Signature, 4);
    std::fill(mbr + 444, mbr + 510, std::uint8_t{0});
    for (DWORD e = 0; e < entries; ++e) {
        const PARTITION_INFORMATION_EX& entry = layout->PartitionEntry[e];
        if (entry.Mbr.PartitionType == 0) {
            continue;
        }
        std::uint8_t* slot = mbr + 446 + 16 * e;
        const auto first = static_cast<std::uint32_t>(entry.StartingOffset.QuadPart / card.layout.sectorBytes);
        const auto count = static_cast<std::uint32_t>(entry.PartitionLength.QuadPart / card.layout.sectorBytes);
        const std::uint8_t chs[] = {0xFE, 0xFF, 0xFF};
        slot[0] = entry.Mbr.BootIndicator ? 0x80 : 0;
        std::memcpy(slot + 1, chs, 3);
        slot[4] = entry.Mbr.PartitionType;
        std::memcpy(slot + 5, chs, 3);
        std::memcpy(slot + 8, &first, 4);
        std::memcpy(slot + 12, &count, 4);
    }
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    RereadLayout(card);
    return TRUE;
}

// The layout sector 0 holds now becomes the cached one: the volumes of the
// old one go (their handles with them), each new partition arrives as a
// volume a moment later, the first under the letter the first had.
void DiskModel::RereadLayout(CardState& card)
{
    const std::uint8_t* mbr = card.bytes.data();
    const DWORD sectorBytes = card.layout.sectorBytes;
    const char letter = card.partitions.empty() ? 0 : card.partitions[0].layout.letter;
    std::vector<PartitionState> layout;
    if (mbr[510] == 0x55 && mbr[511] == 0xAA) {
        for (int e = 0; e < 4; ++e) {
            const std::uint8_t* slot = mbr + 446 + 16 * e;
            std::uint32_t first = 0;
            std::uint32_t count = 0;
            std::memcpy(&first, slot + 8, 4);
            std::memcpy(&count, slot + 12, 4);
            if (slot[4] != 0 && count != 0) {
                const std::uint64_t bytes = std::uint64_t{count} * sectorBytes;
                layout.push_back(PartitionState{.layout = {.letter = layout.empty() ? letter : '\0',
                                                           .startBytes = std::uint64_t{first} * sectorBytes,
                                                           .lengthBytes = bytes,
                                                           .fileSystemBytes = bytes,
                                                           .type = slot[4]}});
            }
        }
    }
    std::memcpy(&card.signature, mbr + 440, 4);
    const std::size_t index = static_cast<std::size_t>(&card - m_cards.data());
    for (auto& [handle, open] : m_handles) {
        if (open.card == index && open.partition) {
            open.invalidated = true;
        }
    }
    card.partitions = std::move(layout);
    card.arrivalOpensLeft = kArrivalOpens;
}

// CreateFile, "Physical Disks and Volumes": a write through a volume handle
// succeeds when the volume has no mounted file system, when it was locked or
// dismounted, when it writes the boot sector, or when it lies outside the
// file system; a write through the disk handle when the sectors lie in no
// volume, or in one that is locked or dismounted. Otherwise error 5.
std::optional<DWORD> DiskModel::WriteRefusal(const OpenHandle& open, HANDLE handle, std::uint64_t offset,
                                             std::uint64_t bytes) const
{
    const CardState& card = m_cards[open.card];
    if (card.writeProtected) {
        return ERROR_WRITE_PROTECT;
    }
    if (card.layout.wine) {
        return std::nullopt;
    }
    if (open.partition) {
        const PartitionState& partition = card.partitions[*open.partition];
        const bool allowed = !partition.mounted || partition.lockedBy == handle ||
                             offset + bytes <= card.layout.sectorBytes || offset >= partition.layout.fileSystemBytes;
        return allowed ? std::nullopt : std::optional<DWORD>(ERROR_ACCESS_DENIED);
    }
    for (const PartitionState& partition : card.partitions) {
        const std::uint64_t start = partition.layout.startBytes;
        const bool overlaps = offset < start + partition.layout.lengthBytes && start < offset + bytes;
        if (overlaps && partition.mounted && partition.lockedBy == nullptr) {
            return ERROR_ACCESS_DENIED;
        }
    }
    return std::nullopt;
}

BOOL DiskModel::Transfer(HANDLE handle, std::uint8_t* read, const std::uint8_t* write, DWORD bytes, DWORD* done)
{
    std::lock_guard guard(m_lock);
    *done = 0;
    OpenHandle* open = Find(handle);
    if (open == nullptr || open->invalidated) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    CardState& card = m_cards[open->card];
    const Region region = RegionOf(*open);
    if (!card.present) {
        return Fail(ERROR_NOT_READY);
    }
    // File Buffering, "Alignment and File Access Requirements": on an
    // unbuffered handle the buffer's address is aligned to the physical
    // sector, which a 512e card enforces.
    const DWORD physicalBytes =
        card.layout.physicalSectorBytes != 0 ? card.layout.physicalSectorBytes : card.layout.sectorBytes;
    const auto address = reinterpret_cast<std::uintptr_t>(write != nullptr ? static_cast<const void*>(write) : read);
    if (!card.layout.wine && (open->flags & FILE_FLAG_NO_BUFFERING) != 0 && address % physicalBytes != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    // File Buffering, "Alignment and File Access Requirements"
    // (learn.microsoft.com/windows/win32/fileio/file-buffering): raw access
    // to a disk or volume comes in whole sectors at whole-sector offsets.
    if (!card.layout.wine && (bytes % card.layout.sectorBytes != 0 || open->position % card.layout.sectorBytes != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (open->position > region.lengthBytes || bytes > region.lengthBytes - open->position) {
        return Fail(ERROR_SECTOR_NOT_FOUND);
    }
    std::uint64_t count = bytes;
    // FSCTL_ALLOW_EXTENDED_DASD_IO: without it, a mounted file system cuts a
    // volume handle's I/O at its own end.
    if (open->partition && !card.layout.wine && !open->extendedDasd && card.partitions[*open->partition].mounted) {
        const std::uint64_t end = card.partitions[*open->partition].layout.fileSystemBytes;
        count = open->position >= end ? 0 : std::min<std::uint64_t>(count, end - open->position);
    }
    const std::uint64_t at = region.startBytes + open->position;
    if (open->access == 0 || (write != nullptr && (open->access & GENERIC_WRITE) == 0)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (write != nullptr) {
        if (const std::optional<DWORD> refusal = WriteRefusal(*open, handle, open->position, count)) {
            return Fail(*refusal);
        }
        std::copy(write, write + count, card.bytes.begin() + static_cast<std::ptrdiff_t>(at));
        m_writesLanded += count != 0 ? 1 : 0;
        m_volumeWrites += count != 0 && open->partition ? 1 : 0;
    } else if (card.unreadableFrom && at + count > *card.unreadableFrom) {
        return Fail(ERROR_CRC);
    } else if (read != nullptr) {
        // File Buffering: without FILE_FLAG_NO_BUFFERING a read may come from
        // the system's cache, not from the card.
        m_cachedReads += (open->flags & FILE_FLAG_NO_BUFFERING) == 0 ? 1 : 0;
        std::copy(card.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                  card.bytes.begin() + static_cast<std::ptrdiff_t>(at + count), read);
    }
    open->position += count;
    *done = static_cast<DWORD>(count);
    return TRUE;
}

BOOL DiskModel::Read(HANDLE handle, void* buffer, DWORD bytes, DWORD* done)
{
    return Transfer(handle, static_cast<std::uint8_t*>(buffer), nullptr, bytes, done);
}

BOOL DiskModel::Write(HANDLE handle, const void* buffer, DWORD bytes, DWORD* done)
{
    return Transfer(handle, nullptr, static_cast<const std::uint8_t*>(buffer), bytes, done);
}

BOOL DiskModel::Seek(HANDLE handle, LARGE_INTEGER distance, LARGE_INTEGER* position, DWORD method)
{
    std::lock_guard guard(m_lock);
    OpenHandle* open = Find(handle);
    if (open == nullptr || open->invalidated) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint64_t base = method == FILE_END       ? RegionOf(*open).lengthBytes
                               : method == FILE_CURRENT ? open->position
                                                        : 0;
    open->position = base + static_cast<std::uint64_t>(distance.QuadPart);
    if (position != nullptr) {
        position->QuadPart = static_cast<LONGLONG>(open->position);
    }
    return TRUE;
}

// GetFileSizeEx answers for Wine's image file, not for a Windows device.
BOOL DiskModel::Size(HANDLE handle, LARGE_INTEGER* size)
{
    std::lock_guard guard(m_lock);
    OpenHandle* open = Find(handle);
    if (open == nullptr || open->invalidated || !m_cards[open->card].layout.wine) {
        return Fail(ERROR_INVALID_FUNCTION);
    }
    size->QuadPart = static_cast<LONGLONG>(RegionOf(*open).lengthBytes);
    return TRUE;
}

BOOL DiskModel::Flush(HANDLE handle)
{
    std::lock_guard guard(m_lock);
    return Find(handle) != nullptr ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

// FSCTL_LOCK_VOLUME: closing the locking handle unlocks the volume.
BOOL DiskModel::Close(HANDLE handle)
{
    std::lock_guard guard(m_lock);
    OpenHandle* open = Find(handle);
    if (open == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (open->partition && !open->invalidated) {
        PartitionState& partition = m_cards[open->card].partitions[*open->partition];
        if (partition.lockedBy == handle) {
            partition.lockedBy = nullptr;
        }
    }
    m_handles.erase(handle);
    return TRUE;
}

// Wine answers for the image file behind an image drive (its inode); what a
// volume handle answers on Windows is not documented, so the model refuses.
BOOL DiskModel::FileInformation(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information)
{
    std::lock_guard guard(m_lock);
    const OpenHandle* open = Find(handle);
    if (open == nullptr || !m_cards[open->card].layout.wine) {
        return Fail(ERROR_INVALID_FUNCTION);
    }
    *information = BY_HANDLE_FILE_INFORMATION{};
    information->nFileIndexLow = static_cast<DWORD>(open->card + 1);
    return TRUE;
}

UINT DiskModel::DriveType(const std::string& root)
{
    std::lock_guard guard(m_lock);
    for (const CardState& card : m_cards) {
        for (const PartitionState& partition : card.partitions) {
            if (root.size() == 3 && Upper(root[0]) == partition.layout.letter && root.substr(1) == ":\\") {
                return DRIVE_REMOVABLE;
            }
        }
    }
    return DRIVE_NO_ROOT_DIR;
}

BOOL DiskModel::VolumeName(const std::string& root, char* name, DWORD bytes)
{
    std::string volume;
    {
        std::lock_guard guard(m_lock);
        for (std::size_t c = 0; c < m_cards.size(); ++c) {
            for (std::size_t p = 0; p < m_cards[c].partitions.size(); ++p) {
                const char letter = m_cards[c].partitions[p].layout.letter;
                if (letter != 0 && root.size() == 3 && Upper(root[0]) == letter && root.substr(1) == ":\\") {
                    volume = VolumeNameOf(c, p);
                }
            }
        }
    }
    if (volume.empty()) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    if (volume.size() >= bytes) {
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    }
    volume.copy(name, volume.size());
    name[volume.size()] = '\0';
    return TRUE;
}

// FindFirstVolume and FindNextVolume
// (learn.microsoft.com/windows/win32/api/fileapi/nf-fileapi-findfirstvolumea):
// every mounted volume, by its name, with or without a drive letter.
std::vector<std::string> DiskModel::VolumeNames()
{
    std::lock_guard guard(m_lock);
    std::vector<std::string> names;
    for (std::size_t c = 0; c < m_cards.size(); ++c) {
        for (std::size_t p = 0; p < m_cards[c].partitions.size(); ++p) {
            names.push_back(VolumeNameOf(c, p));
        }
    }
    return names;
}

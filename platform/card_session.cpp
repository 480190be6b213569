#include "platform/card_session.h"

#include "platform/disk_calls.h"
#include "platform/volume.h"

#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

// What a session leaves for the library called on its own thread: the name
// is this process's and the letter's, so no other process ever finds it.
struct SessionRecord {
    HANDLE card;
    ULONGLONG lengthLimit;  // 0: none
    char identity[MAX_PATH];
    BOOL oemParametersKept;
    BYTE oemParameters[kOemParametersBytes];
};

char Upper(char letter)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

std::string RecordName(char driveLetter)
{
    return "Local\\Veltrane.CardSession." + std::to_string(GetCurrentProcessId()) + "." + Upper(driveLetter);
}

std::optional<SessionRecord> FindRecord(char driveLetter)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, RecordName(driveLetter).c_str());
    if (mapping == nullptr) {
        return std::nullopt;
    }
    std::optional<SessionRecord> record;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(SessionRecord))) {
        record.emplace();
        std::memcpy(&*record, view, sizeof(SessionRecord));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return record;
}

SessionRecord RecordOf(HANDLE card, std::optional<ULONGLONG> lengthLimit, const std::string& identity,
                       const std::optional<OemParameters>& oemParameters)
{
    SessionRecord record{};
    record.card = card;
    record.lengthLimit = lengthLimit.value_or(0);
    identity.copy(record.identity, sizeof record.identity - 1);
    record.oemParametersKept = oemParameters.has_value();
    if (oemParameters) {
        std::copy(oemParameters->begin(), oemParameters->end(), record.oemParameters);
    }
    return record;
}

void WriteRecord(HANDLE mapping, const SessionRecord& record)
{
    if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(SessionRecord))) {
        std::memcpy(view, &record, sizeof(SessionRecord));
        UnmapViewOfFile(view);
    }
}

HANDLE LeaveRecord(char driveLetter, const SessionRecord& record)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SessionRecord),
                                        RecordName(driveLetter).c_str());
    if (mapping != nullptr) {
        WriteRecord(mapping, record);
    }
    return mapping;
}

// Read and write where the device allows, else read only: a write-protected
// card opens as one, shows its size, and its writes fail. A volume another
// format has locked opens for queries only, enough to learn whose it is.
HANDLE OpenDevice(const std::string& path, DWORD flags = 0)
{
    HANDLE handle = OpenReadWrite(path, flags);
    for (const DWORD access : {DWORD{GENERIC_READ}, DWORD{0}}) {
        const DWORD error = GetLastError();
        if (handle != INVALID_HANDLE_VALUE || (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT)) {
            break;
        }
        handle = Disk().Open(path, access, kShareBoth, flags);
    }
    return handle;
}

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

// Where a volume lies: one extent on one disk, or nothing known.
struct Extent {
    DWORD disk = 0;
    ULONGLONG startBytes = 0;
    ULONGLONG lengthBytes = 0;
};

std::optional<Extent> SingleExtentOf(HANDLE volume)
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
    return Extent{.disk = extent.DiskNumber,
                  .startBytes = static_cast<ULONGLONG>(extent.StartingOffset.QuadPart),
                  .lengthBytes = static_cast<ULONGLONG>(extent.ExtentLength.QuadPart)};
}

}  // namespace

bool CardSession::Open(char driveLetter, CardCache cache)
{
    End();
    m_letter = Upper(driveLetter);
    // Only the thread that holds the session shares its handle: any other
    // (the dialog's, measuring the card) would move its file pointer under
    // the format's writes, so it opens handles of its own, and is refused a
    // claim.
    if (const std::optional<SessionRecord> record = FindRecord(m_letter)) {
        m_identity = record->identity;
        if (TakeClaim()) {
            m_joined = true;
            m_card = record->card;
            if (record->lengthLimit != 0) {
                m_lengthLimit = record->lengthLimit;
            }
            if (record->oemParametersKept) {
                m_oemParameters.emplace();
                std::copy(std::begin(record->oemParameters), std::end(record->oemParameters),
                          m_oemParameters->begin());
            }
            return true;
        }
        CloseHandle(m_claim);
        m_claim = nullptr;
    }
    m_openFlags = cache == CardCache::bypassed ? FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH : 0;
    m_volume = OpenDevice(VolumePath(m_letter), m_openFlags);
    if (m_volume == INVALID_HANDLE_VALUE) {
        return false;
    }
    // A volume handle that is read or written reaches the sectors its file
    // system does not cover, up to the partition's end.
    ControlDevice(m_volume, FSCTL_ALLOW_EXTENDED_DASD_IO);
    FindWholeCard();
    return true;
}

// The volume stands for the card only where it provably is the whole disk:
// it starts at the disk's offset 0, or the platform answers every disk query
// "not supported" (Wine, whose volume is the whole image). Otherwise the
// card is the disk the volume's extents (or its partition and device
// number) lie on, and the disk must hold them; a device number alone proves
// nothing (Wine gives every drive the same one).
void CardSession::FindWholeCard()
{
    DWORD returned = 0;
    PARTITION_INFORMATION_EX partition{};
    const bool partitionKnown =
        Disk().Control(m_volume, IOCTL_DISK_GET_PARTITION_INFO_EX, nullptr, 0, &partition, sizeof partition, &returned);
    const DWORD partitionError = partitionKnown ? ERROR_SUCCESS : GetLastError();
    if (partitionKnown && partition.StartingOffset.QuadPart == 0) {
        m_card = m_volume;
        m_diskNumber = DiskNumberOf(m_volume);
        return;
    }
    std::optional<Extent> extent = SingleExtentOf(m_volume);
    const DWORD extentsError = extent ? ERROR_SUCCESS : GetLastError();
    if (!extent && partitionKnown) {
        if (const std::optional<DWORD> number = DiskNumberOf(m_volume)) {
            extent = Extent{.disk = *number,
                            .startBytes = static_cast<ULONGLONG>(partition.StartingOffset.QuadPart),
                            .lengthBytes = static_cast<ULONGLONG>(partition.PartitionLength.QuadPart)};
        }
    }
    if (extent) {
        HANDLE disk = OpenDevice("\\\\.\\PhysicalDrive" + std::to_string(extent->disk), m_openFlags);
        const std::optional<ULONGLONG> diskBytes = disk == INVALID_HANDLE_VALUE ? std::nullopt : DeviceLength(disk);
        if (diskBytes && extent->startBytes <= *diskBytes && extent->lengthBytes <= *diskBytes - extent->startBytes) {
            m_disk = disk;
            m_card = disk;
            m_diskNumber = extent->disk;
            return;
        }
        if (disk != INVALID_HANDLE_VALUE) {
            Disk().Close(disk);
        }
        m_found = CardRefusal::notWholeCard;
        return;
    }
    if (!partitionKnown && IsNotSupported(partitionError) && IsNotSupported(extentsError)) {
        m_card = m_volume;
        return;
    }
    m_found = partitionError == ERROR_NOT_READY ? CardRefusal::noCard : CardRefusal::notWholeCard;
}

// The claim's name: the physical disk where it is known; else the volume's
// own name, else its letter, so that two cards are never taken for one
// (under Wine every drive reports the same device number).
std::string CardSession::Identity()
{
    if (m_diskNumber) {
        return "PhysicalDrive" + std::to_string(*m_diskNumber);
    }
    char name[MAX_PATH] = {};
    if (Disk().VolumeName(RootPath(m_letter), name, sizeof name)) {
        std::string identity(name);
        for (char& c : identity) {
            if (c == '\\' || c == '?') {
                c = '_';
            }
        }
        return identity;
    }
    return std::string("Drive") + m_letter;
}

// The claim is a mutex, which its owning thread takes again: the library
// called inside the program's session on the program's thread is let in,
// any other thread or process is not. WAIT_ABANDONED, a format that died
// holding the card, leaves the card to the caller.
bool CardSession::TakeClaim()
{
    m_claim = CreateMutexA(nullptr, FALSE, ("Global\\Veltrane.Card." + m_identity).c_str());
    const DWORD wait = m_claim != nullptr ? WaitForSingleObject(m_claim, 0) : WAIT_FAILED;
    m_claimed = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return m_claimed;
}

// Every volume on the card, so that no write lands in a mounted file system
// (Windows mounts each partition of removable media): the letter's own
// first, then each other letter whose volume lies on the same disk. One
// that another program has locked opens for queries only, and cannot be
// locked here: the card is refused rather than written under it.
bool CardSession::LockCardVolumes()
{
    if (!LockVolume(m_volume)) {
        return false;
    }
    if (m_diskNumber && IsWholeDisk()) {
        // Every volume the system mounted, lettered or not: Windows mounts
        // each partition of removable media, and writes into one left
        // unlocked are refused part-way through the card.
        const std::optional<Extent> own = SingleExtentOf(m_volume);
        for (std::string name : Disk().VolumeNames()) {
            // Opened as a device: the name without its trailing backslash.
            if (!name.empty() && name.back() == '\\') {
                name.pop_back();
            }
            HANDLE volume = OpenDevice(name);
            if (volume == INVALID_HANDLE_VALUE) {
                continue;
            }
            const std::optional<Extent> extent = SingleExtentOf(volume);
            const bool ours = extent && own && extent->disk == own->disk && extent->startBytes == own->startBytes;
            if (!extent || extent->disk != *m_diskNumber || ours) {
                Disk().Close(volume);
                continue;
            }
            m_otherVolumes.push_back(volume);
            if (!LockVolume(volume)) {
                return false;
            }
        }
    }
    DismountVolume(m_volume);
    for (HANDLE volume : m_otherVolumes) {
        DismountVolume(volume);
    }
    return true;
}

CardRefusal CardSession::Claim()
{
    if (!m_joined && (m_found != CardRefusal::none || m_card == INVALID_HANDLE_VALUE)) {
        return m_found == CardRefusal::none ? CardRefusal::noCard : m_found;
    }
    if (m_joined) {
        return CardRefusal::none;
    }
    m_identity = Identity();
    if (!TakeClaim()) {
        End();
        return CardRefusal::otherFormat;
    }
    if (!LockCardVolumes()) {
        End();
        return CardRefusal::inUse;
    }
    m_record = LeaveRecord(m_letter, RecordOf(m_card, m_lengthLimit, m_identity, m_oemParameters));
    return CardRefusal::none;
}

void CardSession::LimitLength(ULONGLONG lengthBytes)
{
    m_lengthLimit = lengthBytes;
    if (m_record != nullptr) {
        WriteRecord(m_record, RecordOf(m_card, m_lengthLimit, m_identity, m_oemParameters));
    }
}

// A joined session keeps them in the holder's record too: the job may join
// the command line's hold, and the library then joins the same record.
void CardSession::KeepOemParameters(const OemParameters& sector)
{
    m_oemParameters = sector;
    if (m_record != nullptr) {
        WriteRecord(m_record, RecordOf(m_card, m_lengthLimit, m_identity, m_oemParameters));
        return;
    }
    if (!m_joined) {
        return;
    }
    std::optional<SessionRecord> record = FindRecord(m_letter);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, RecordName(m_letter).c_str());
    if (record && mapping != nullptr) {
        record->oemParametersKept = TRUE;
        std::copy(sector.begin(), sector.end(), record->oemParameters);
        WriteRecord(mapping, *record);
    }
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
}

// A card that cannot be reached whole is still measured and read through
// its volume, so that it shows its size and the job can say why it refuses.
HANDLE CardSession::QueryHandle() const
{
    return m_card != INVALID_HANDLE_VALUE ? m_card : m_volume;
}

std::optional<ULONGLONG> CardSession::Length()
{
    const std::optional<ULONGLONG> length =
        QueryHandle() == INVALID_HANDLE_VALUE ? std::nullopt : DeviceLength(QueryHandle());
    return length && m_lengthLimit ? std::min(*length, *m_lengthLimit) : length;
}

bool CardSession::GetDriveGeometry(DISK_GEOMETRY& geometry)
{
    if (!DeviceGeometry(QueryHandle(), geometry)) {
        return false;
    }
    // The job sizes the card, and picks its builder, from the cylinders.
    const ULONGLONG cylinderBytes =
        ULONGLONG{geometry.TracksPerCylinder} * geometry.SectorsPerTrack * geometry.BytesPerSector;
    if (m_lengthLimit && cylinderBytes != 0) {
        geometry.Cylinders.QuadPart =
            std::min(geometry.Cylinders.QuadPart, static_cast<LONGLONG>(*m_lengthLimit / cylinderBytes));
    }
    return true;
}

std::optional<ULONG> CardSession::MediaChangeCount()
{
    return ::MediaChangeCount(QueryHandle());
}

DWORD CardSession::Read(ULONGLONG offset, void* buffer, DWORD bytes)
{
    return ReadAt(QueryHandle(), offset, buffer, bytes);
}

// Only a claimed card is written.
DWORD CardSession::Write(ULONGLONG offset, const void* buffer, DWORD bytes)
{
    if (!m_claimed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (m_lengthLimit && (offset > *m_lengthLimit || bytes > *m_lengthLimit - offset)) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return 0;
    }
    return WriteWithin(m_card, offset, buffer, bytes);
}

BOOL CardSession::Flush()
{
    return Disk().Flush(m_card) || IsNotSupported(GetLastError());
}

void CardSession::End()
{
    if (m_claimed && !m_joined) {
        Flush();
        ControlDevice(m_card, IOCTL_DISK_UPDATE_PROPERTIES);
        for (HANDLE volume : m_otherVolumes) {
            ControlDevice(volume, FSCTL_UNLOCK_VOLUME);
        }
        ControlDevice(m_volume, FSCTL_UNLOCK_VOLUME);
    }
    for (HANDLE volume : m_otherVolumes) {
        Disk().Close(volume);
    }
    m_otherVolumes.clear();
    if (m_disk != INVALID_HANDLE_VALUE) {
        Disk().Close(m_disk);
    }
    if (m_volume != INVALID_HANDLE_VALUE) {
        Disk().Close(m_volume);
    }
    if (m_record != nullptr) {
        CloseHandle(m_record);
    }
    if (m_claim != nullptr) {
        if (m_claimed) {
            ReleaseMutex(m_claim);
        }
        CloseHandle(m_claim);
    }
    m_volume = m_disk = m_card = INVALID_HANDLE_VALUE;
    m_record = m_claim = nullptr;
    m_diskNumber.reset();
    m_openFlags = 0;
    m_lengthLimit.reset();
    m_oemParameters.reset();
    m_found = CardRefusal::none;
    m_joined = m_claimed = false;
    m_identity.clear();
}

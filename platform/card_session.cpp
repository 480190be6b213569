#include "platform/card_session.h"

#include "platform/card_finding.h"
#include "platform/card_locking.h"
#include "platform/card_release.h"
#include "platform/disk_calls.h"
#include "platform/volume.h"

#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

// What a session leaves for the library called on its own thread: the name
// is this process's and the letter's, so no other process ever finds it.
struct SessionRecord {
    HANDLE card;
    DWORD openFlags;        // FILE_FLAG_ flags the card's handle was opened with
    BOOL writable;          // the card's handle was opened for writing
    ULONGLONG lengthLimit;  // 0: none
    char identity[MAX_PATH];
    BOOL oemParametersKept;
    BYTE oemParameters[kOemParametersBytes];
};

namespace {

// An unbuffered handle takes buffers aligned to the card's physical sector
// (4096 on a 512e card): a page is a multiple of every one a card has.
constexpr std::uintptr_t kUnbufferedAlignment = 4096;

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

SessionRecord RecordOf(HANDLE card, DWORD openFlags, bool writable, std::optional<ULONGLONG> lengthLimit,
                       const std::string& identity, const std::optional<OemParameters>& oemParameters)
{
    SessionRecord record{};
    record.card = card;
    record.openFlags = openFlags;
    record.writable = writable;
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
            m_openFlags = record->openFlags;
            m_cardWritable = record->writable != FALSE;
            if (record->lengthLimit != 0) {
                m_lengthLimit = record->lengthLimit;
            }
            if (record->oemParametersKept) {
                m_oemParameters.emplace();
                std::copy(std::begin(record->oemParameters), std::end(record->oemParameters), m_oemParameters->begin());
            }
            return true;
        }
        CloseHandle(m_claim);
        m_claim = nullptr;
    }
    m_openFlags = cache == CardCache::bypassed ? FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH : 0;
    m_volume = OpenDevice(VolumePath(m_letter), m_openFlags, &m_volumeAccess);
    if (m_volume == INVALID_HANDLE_VALUE) {
        return false;
    }
    // A volume handle that is read or written reaches the sectors its file
    // system does not cover, up to the partition's end.
    ControlDevice(m_volume, FSCTL_ALLOW_EXTENDED_DASD_IO);
    FindWholeCard();
    return true;
}

void CardSession::FindWholeCard()
{
    const FoundCard found = FindCardOf(m_volume, m_openFlags);
    m_found = found.refusal;
    m_disk = found.disk;
    m_diskNumber = found.diskNumber;
    m_volumeIsCard = found.volumeIsCard;
    if (m_found == CardRefusal::none) {
        m_card = IsWholeDisk() ? m_disk : m_volume;
        m_cardWritable = ((IsWholeDisk() ? found.diskAccess : m_volumeAccess) & GENERIC_WRITE) != 0;
    }
}

// The claim's name: the physical disk where it is known; else the file
// behind the volume, where it is one (Wine's image drives: two letters on
// one image are one card); else the volume's own name, else its letter, so
// that two cards are never taken for one (under Wine every drive reports the
// same device number).
std::string CardSession::Identity()
{
    if (m_diskNumber) {
        return "PhysicalDrive" + std::to_string(*m_diskNumber);
    }
    BY_HANDLE_FILE_INFORMATION file{};
    if (Disk().FileInformation(m_volume, &file) && (file.nFileIndexHigh != 0 || file.nFileIndexLow != 0)) {
        return "File." + std::to_string(file.dwVolumeSerialNumber) + "." +
               std::to_string((ULONGLONG{file.nFileIndexHigh} << 32) | file.nFileIndexLow);
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
// (Windows mounts each partition of removable media, lettered or not, and
// writes into one left unlocked are refused part-way through the card): the
// letter's own first, then each other volume whose extents lie on the same
// disk. One that another program has locked, or holds exclusively, cannot
// be locked here: the card is refused rather than written under it.
bool CardSession::LockCardVolumes()
{
    const NotSupported notSupported = m_volumeIsCard ? NotSupported::accepted : NotSupported::refused;
    if (!LockAndDismount(m_volume, notSupported)) {
        return false;
    }
    if (!m_diskNumber || !IsWholeDisk()) {
        return true;
    }
    for (const std::string& name : OtherVolumesOnDisk(*m_diskNumber, SingleExtentOf(m_volume))) {
        const HANDLE volume = OpenDevice(name);
        if (volume == INVALID_HANDLE_VALUE) {
            return false;
        }
        m_otherVolumes.push_back(volume);
        if (!LockAndDismount(volume, notSupported)) {
            return false;
        }
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
    m_record = LeaveRecord(m_letter, Record());
    // Disk activity is not user activity: without this, idle sleep may end
    // an erase of hours with the card erased and unformatted.
    Disk().SetExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    return CardRefusal::none;
}

SessionRecord CardSession::Record() const
{
    return RecordOf(m_card, m_openFlags, m_cardWritable, m_lengthLimit, m_identity, m_oemParameters);
}

void CardSession::LimitLength(ULONGLONG lengthBytes)
{
    m_lengthLimit = lengthBytes;
    if (m_record != nullptr) {
        WriteRecord(m_record, Record());
    }
}

// A joined session keeps them in the holder's record too: the job may join
// the command line's hold, and the library then joins the same record.
void CardSession::KeepOemParameters(const OemParameters& sector)
{
    m_oemParameters = sector;
    if (m_record != nullptr) {
        WriteRecord(m_record, Record());
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

// A buffer an unbuffered handle may refuse goes through one that is aligned.
std::uint8_t* CardSession::BounceFor(const void* buffer, DWORD bytes)
{
    if ((m_openFlags & FILE_FLAG_NO_BUFFERING) == 0 ||
        reinterpret_cast<std::uintptr_t>(buffer) % kUnbufferedAlignment == 0) {
        return nullptr;
    }
    if (m_bounce.size() < bytes + kUnbufferedAlignment) {
        m_bounce.resize(bytes + kUnbufferedAlignment);
    }
    const auto address = reinterpret_cast<std::uintptr_t>(m_bounce.data());
    return m_bounce.data() + (kUnbufferedAlignment - address % kUnbufferedAlignment) % kUnbufferedAlignment;
}

DWORD CardSession::Read(ULONGLONG offset, void* buffer, DWORD bytes)
{
    std::uint8_t* bounce = BounceFor(buffer, bytes);
    if (bounce == nullptr) {
        return ReadAt(QueryHandle(), offset, buffer, bytes);
    }
    const DWORD read = ReadAt(QueryHandle(), offset, bounce, bytes);
    std::memcpy(buffer, bounce, read);
    return read;
}

// Only a claimed card is written.
DWORD CardSession::Write(ULONGLONG offset, const void* buffer, DWORD bytes)
{
    if (!m_claimed) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    // A card that opened for reading only refused writing: write-protected.
    if (!m_cardWritable) {
        SetLastError(ERROR_WRITE_PROTECT);
        return 0;
    }
    if (m_lengthLimit && (offset > *m_lengthLimit || bytes > *m_lengthLimit - offset)) {
        SetLastError(ERROR_SECTOR_NOT_FOUND);
        return 0;
    }
    std::uint8_t* bounce = BounceFor(buffer, bytes);
    if (bounce != nullptr) {
        std::memcpy(bounce, buffer, bytes);
    }
    return WriteWithin(m_card, offset, bounce != nullptr ? bounce : buffer, bytes);
}

BOOL CardSession::Flush()
{
    return Disk().Flush(m_card) || IsNotSupported(GetLastError());
}

bool CardSession::GiveBack()
{
    return Release(Reread::checked);
}

void CardSession::End()
{
    Release(Reread::asked);
}

// Windows re-reads a layout only with none of the card's volumes locked or
// open: the volume handles go first, the disk handle asks after them, and
// the claim is held until the card shows what was written.
bool CardSession::Release(Reread reread)
{
    bool shown = true;
    if (m_claimed && !m_joined) {
        Flush();
        for (HANDLE volume : m_otherVolumes) {
            ControlDevice(volume, FSCTL_UNLOCK_VOLUME);
        }
        ControlDevice(m_volume, FSCTL_UNLOCK_VOLUME);
    }
    for (HANDLE volume : m_otherVolumes) {
        Disk().Close(volume);
    }
    m_otherVolumes.clear();
    if (m_volume != INVALID_HANDLE_VALUE) {
        Disk().Close(m_volume);
    }
    if (m_claimed && !m_joined && IsWholeDisk()) {
        if (reread == Reread::checked) {
            shown = ShowNewLayout(m_disk, m_letter);
        } else {
            ControlDevice(m_disk, IOCTL_DISK_UPDATE_PROPERTIES);
        }
    }
    if (m_disk != INVALID_HANDLE_VALUE) {
        Disk().Close(m_disk);
    }
    if (m_claimed && !m_joined) {
        Disk().SetExecutionState(ES_CONTINUOUS);
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
    m_joined = m_claimed = m_volumeIsCard = m_cardWritable = false;
    m_volumeAccess = 0;
    m_identity.clear();
    return shown;
}

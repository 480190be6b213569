#include "drives/raw_volume_win32.h"

#include "platform/card_session.h"
#include "platform/volume.h"

#include <algorithm>

namespace {

// ERROR_NO_SUCH_DEVICE, "a device which does not exist was specified",
// which the headers here lack.
constexpr DWORD kNoSuchDevice = 433;

CardTaking ClaimOf(CardRefusal refusal)
{
    switch (refusal) {
    case CardRefusal::none:
        return CardTaking::claimed;
    case CardRefusal::noCard:
        return CardTaking::noCard;
    case CardRefusal::notWholeCard:
        return CardTaking::notWholeCard;
    case CardRefusal::inUse:
        return CardTaking::inUse;
    case CardRefusal::otherFormat:
        return CardTaking::otherFormat;
    }
    return CardTaking::noCard;
}

// The whole card, through the platform's card session: opened here,
// claimed and locked by ClaimCard, given back when destroyed.
class Win32RawVolume : public RawVolume {
public:
    bool Open(char driveLetter) { return m_session.Open(driveLetter); }

    std::optional<DiskGeometry> ReadGeometry() override
    {
        DISK_GEOMETRY geometry{};
        if (!m_session.GetDriveGeometry(geometry)) {
            return std::nullopt;
        }
        return DiskGeometry{
            .cylinders = geometry.Cylinders.QuadPart,
            .mediaType = static_cast<std::uint32_t>(geometry.MediaType),
            .tracksPerCylinder = geometry.TracksPerCylinder,
            .sectorsPerTrack = geometry.SectorsPerTrack,
            .bytesPerSector = geometry.BytesPerSector,
        };
    }

    std::optional<std::uint64_t> LengthBytes() override { return m_session.Length(); }

    std::uint32_t Write(std::uint64_t offsetBytes, std::span<const std::uint8_t> bytes) override
    {
        return Noted(m_session.Write(offsetBytes, bytes.data(), static_cast<DWORD>(bytes.size())), bytes.size());
    }

    std::uint32_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override
    {
        return Noted(m_session.Read(offsetBytes, bytes.data(), static_cast<DWORD>(bytes.size())), bytes.size());
    }

    std::optional<WriteFailure> LastFailure() override { return m_failure; }

    bool GiveBack() override { return m_session.GiveBack(); }

    std::optional<std::uint32_t> MediaChangeCount() override { return m_session.MediaChangeCount(); }

    CardTaking ClaimCard() override { return ClaimOf(m_session.Claim()); }

    void KeepOemParameters(std::span<const std::uint8_t, 512> sector) override
    {
        OemParameters kept{};
        std::copy(sector.begin(), sector.end(), kept.begin());
        m_session.KeepOemParameters(kept);
    }

private:
    // The reason of a transfer that fell short, read before any other call.
    std::uint32_t Noted(DWORD done, std::size_t bytes)
    {
        if (done != bytes) {
            m_failure = WriteFailureOf(GetLastError());
        }
        return done;
    }

    CardSession m_session;
    std::optional<WriteFailure> m_failure;
};

}  // namespace

std::unique_ptr<RawVolume> Win32RawVolumeOpener::OpenRawVolume(char driveLetter)
{
    auto volume = std::make_unique<Win32RawVolume>();
    if (!volume->Open(driveLetter)) {
        return nullptr;
    }
    return volume;
}

std::optional<DiskGeometry> ReadDriveGeometry(char driveLetter)
{
    Win32RawVolumeOpener opener;
    const std::unique_ptr<RawVolume> volume = opener.OpenRawVolume(driveLetter);
    return volume ? volume->ReadGeometry() : std::nullopt;
}

WriteFailure WriteFailureOf(DWORD error)
{
    switch (error) {
    case ERROR_WRITE_PROTECT:
        return WriteFailure::writeProtected;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case kNoSuchDevice:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_MEDIA_CHANGED:
    case ERROR_NO_MEDIA_IN_DRIVE:
    case ERROR_DEVICE_REMOVED:
    // The write reaches past the card's end as it is now: the card measured
    // has left the reader (Wine: its image was cut short).
    case ERROR_SECTOR_NOT_FOUND:
        return WriteFailure::cardRemoved;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return WriteFailure::inUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return WriteFailure::diskFull;
    default:
        return WriteFailure::ioError;
    }
}

#include "drives/raw_volume_win32.h"

#include "platform/card_session.h"
#include "platform/volume.h"

#include <algorithm>

namespace {

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
        return m_session.Write(offsetBytes, bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    std::uint32_t Read(std::uint64_t offsetBytes, std::span<std::uint8_t> bytes) override
    {
        return m_session.Read(offsetBytes, bytes.data(), static_cast<DWORD>(bytes.size()));
    }

    std::optional<std::uint32_t> MediaChangeCount() override { return m_session.MediaChangeCount(); }

    CardTaking ClaimCard() override { return ClaimOf(m_session.Claim()); }

    void KeepOemParameters(std::span<const std::uint8_t, 512> sector) override
    {
        OemParameters kept{};
        std::copy(sector.begin(), sector.end(), kept.begin());
        m_session.KeepOemParameters(kept);
    }

private:
    CardSession m_session;
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

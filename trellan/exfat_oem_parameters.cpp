#include "trellan/exfat_oem_parameters.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "trellan/byte_order.h"
#include "trellan/exfat_boot_region.h"
#include "trellan/mbr.h"

namespace trellan {
namespace {

using namespace exfat_oem;

// {0A0C7E46-3399-4021-90C8-FA6D389C4BA2}, its first three fields little-endian.
constexpr std::array<std::uint8_t, guid_bytes> flash_parameters_guid = {0x46, 0x7E, 0x0C, 0x0A, 0x99, 0x33, 0x21, 0x40,
                                                                        0x90, 0xC8, 0xFA, 0x6D, 0x38, 0x9C, 0x4B, 0xA2};

constexpr std::string_view exfat_name = "EXFAT   ";

bool is_exfat_boot_sector(std::span<const std::uint8_t> sector)
{
    return std::equal(exfat_name.begin(), exfat_name.end(), sector.begin() + exfat_boot::file_system_name) &&
           load_le16(sector, exfat_boot::boot_signature) == boot_signature;
}

}  // namespace

std::optional<ExfatOemSector> kept_oem_parameters(std::span<const std::uint8_t> sector)
{
    ExfatOemSector kept{};
    bool flash = false;
    for (std::size_t at = 0; at < record_count * record_bytes; at += record_bytes) {
        const auto record = sector.subspan(at, record_bytes);
        const auto guid = record.first(guid_bytes);
        // All zeros marks a record unused; all ones is an erased sector or
        // another formatter's fill, never a GUID.
        const bool unused = std::all_of(guid.begin(), guid.end(), [](std::uint8_t byte) { return byte == 0; }) ||
                            std::all_of(guid.begin(), guid.end(), [](std::uint8_t byte) { return byte == 0xFF; });
        if (unused) {
            continue;
        }
        flash = flash || std::equal(flash_parameters_guid.begin(), flash_parameters_guid.end(), guid.begin());
        std::copy(record.begin(), record.end(), kept.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return flash ? std::optional(kept) : std::nullopt;
}

std::optional<ExfatOemSector> read_oem_parameters(BlockDevice& device)
{
    const std::uint32_t sector_bytes = device.sector_size_bytes();
    if (sector_bytes != exfat_boot::sector_bytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> sector(sector_bytes);
    const auto read = [&](std::uint64_t at) {
        return at < device.length_sectors() && device.read(at, sector) == IoResult::ok;
    };
    if (!read(0)) {
        return std::nullopt;
    }
    std::uint64_t volume = 0;
    if (!is_exfat_boot_sector(sector) && load_le16(sector, mbr_offset::signature) == boot_signature &&
        sector[mbr_offset::first_entry + partition_entry_offset::type] != 0) {
        volume = load_le32(sector, mbr_offset::first_entry + partition_entry_offset::start_lba);
        if (!read(volume) || !is_exfat_boot_sector(sector)) {
            return std::nullopt;
        }
    } else if (!is_exfat_boot_sector(sector)) {
        return std::nullopt;
    }
    return read(volume + sector_index) ? kept_oem_parameters(sector) : std::nullopt;
}

}  // namespace trellan

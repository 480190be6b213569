#include "trellan/exfat_boot_region.h"

#include <algorithm>
#include <string_view>

#include "trellan/byte_order.h"
#include "trellan/exfat_checksum.h"

namespace trellan {
namespace {

using namespace exfat_boot;

constexpr std::array<std::uint8_t, 3> jump_instruction{0xEB, 0x76, 0x90};
constexpr std::string_view name = "EXFAT   ";
constexpr std::uint16_t revision_1_00 = 0x0100;
constexpr std::uint8_t bytes_per_sector_shift_512 = 9;
constexpr std::uint8_t one_fat = 1;
constexpr std::uint8_t first_fixed_disk = 0x80;
// Only the system objects are in use after a format; readers recompute this.
constexpr std::uint8_t percent_in_use_unknown = 0xFF;
constexpr std::uint8_t halt_instruction = 0xF4;  // boot code of a non-bootable volume
constexpr std::uint32_t extended_signature = 0xAA550000;
constexpr std::uint16_t signature = 0xAA55;

constexpr std::uint32_t extended_boot_sectors = 8;
constexpr std::uint32_t checksum_sector = 11;

void write_boot_sector(std::span<std::uint8_t> sector, const ExfatLayout& layout, std::uint32_t volume_serial)
{
    std::copy(jump_instruction.begin(), jump_instruction.end(), sector.begin() + jump_boot);
    std::copy(name.begin(), name.end(), sector.begin() + file_system_name);
    store_le64(sector, partition_offset, layout.partition_start_sectors);
    store_le64(sector, volume_length, layout.volume_length_sectors);
    store_le32(sector, fat_offset, layout.fat_offset_sectors);
    store_le32(sector, fat_length, layout.fat_length_sectors);
    store_le32(sector, cluster_heap_offset, layout.cluster_heap_offset_sectors);
    store_le32(sector, cluster_count, layout.cluster_count);
    store_le32(sector, first_cluster_of_root, layout.root_first_cluster);
    store_le32(sector, volume_serial_number, volume_serial);
    store_le16(sector, file_system_revision, revision_1_00);
    store_le16(sector, volume_flags, 0);
    sector[bytes_per_sector_shift] = bytes_per_sector_shift_512;
    sector[sectors_per_cluster_shift] = layout.sectors_per_cluster_shift;
    sector[number_of_fats] = one_fat;
    sector[drive_select] = first_fixed_disk;
    sector[percent_in_use] = percent_in_use_unknown;
    std::fill(sector.begin() + boot_code, sector.begin() + boot_signature, halt_instruction);
    store_le16(sector, boot_signature, signature);
}

}  // namespace

std::uint32_t exfat_boot_checksum(std::span<const std::uint8_t> region)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < std::size_t{checksummed_sectors} * sector_bytes; ++i) {
        if (i == volume_flags || i == volume_flags + 1 || i == percent_in_use) {
            continue;
        }
        sum = exfat_checksum_step(sum, region[i]);
    }
    return sum;
}

ExfatBootRegion build_exfat_boot_region(const ExfatLayout& layout, std::uint32_t volume_serial,
                                        const std::optional<ExfatOemSector>& oem_parameters)
{
    ExfatBootRegion region{};
    const std::span<std::uint8_t> bytes(region);
    write_boot_sector(bytes.first(sector_bytes), layout, volume_serial);
    for (std::uint32_t i = 1; i <= extended_boot_sectors; ++i) {
        store_le32(bytes.subspan(i * sector_bytes, sector_bytes), extended_boot_signature, extended_signature);
    }
    if (oem_parameters) {
        std::copy(oem_parameters->begin(), oem_parameters->end(),
                  bytes.begin() + exfat_oem::sector_index * sector_bytes);
    }
    const std::uint32_t checksum = exfat_boot_checksum(bytes);
    const auto checksum_bytes = bytes.subspan(checksum_sector * sector_bytes, sector_bytes);
    for (std::size_t offset = 0; offset < sector_bytes; offset += 4) {
        store_le32(checksum_bytes, offset, checksum);
    }
    return region;
}

}  // namespace trellan

#include "trellan/mbr.h"

#include <algorithm>
#include <limits>

#include "trellan/byte_order.h"

namespace trellan {
namespace {

// CHS packs the cylinder in 10 bits.
constexpr std::uint64_t chs_cylinders = 1024;

struct GeometryRow {
    std::uint64_t max_capacity_mib;
    ChsGeometry geometry;
};

// The card geometry table: the smallest geometry whose 1024 cylinders still
// cover the card, so CHS stays consistent up to 4032 MiB.
constexpr GeometryRow geometry_rows[] = {
    {2, {2, 16}},    {16, {2, 32}},    {32, {4, 32}},    {128, {8, 32}},    {256, {16, 32}},
    {504, {16, 63}}, {1008, {32, 63}}, {2016, {64, 63}}, {4032, {128, 63}},
};
constexpr ChsGeometry largest_geometry{255, 63};

constexpr std::uint64_t sectors_per_mib = 2048;

}  // namespace

ChsGeometry sd_chs_geometry(std::uint64_t card_sectors)
{
    const std::uint64_t capacity_mib = card_sectors / sectors_per_mib;
    for (const GeometryRow& row : geometry_rows) {
        if (capacity_mib <= row.max_capacity_mib) {
            return row.geometry;
        }
    }
    return largest_geometry;
}

bool chs_addressable(std::uint64_t lba, const ChsGeometry& geometry)
{
    const std::uint64_t sectors_per_cylinder = std::uint64_t{geometry.heads} * geometry.sectors_per_track;
    return sectors_per_cylinder != 0 && lba / sectors_per_cylinder < chs_cylinders;
}

std::array<std::uint8_t, 3> encode_chs(std::uint64_t lba, const ChsGeometry& geometry)
{
    // Heads are stored in 8 bits and sectors in 6: anything larger cannot be
    // written faithfully, so it saturates like an unreachable sector.
    if (!chs_addressable(lba, geometry) || geometry.heads > 255 || geometry.sectors_per_track > 63) {
        return {0xFE, 0xFF, 0xFF};
    }
    const std::uint64_t sectors_per_cylinder = std::uint64_t{geometry.heads} * geometry.sectors_per_track;
    const auto cylinder = static_cast<std::uint32_t>(lba / sectors_per_cylinder);
    const auto head = static_cast<std::uint32_t>(lba / geometry.sectors_per_track % geometry.heads);
    const auto sector = static_cast<std::uint32_t>(lba % geometry.sectors_per_track + 1);
    return {static_cast<std::uint8_t>(head), static_cast<std::uint8_t>(sector | (cylinder >> 2 & 0xC0)),
            static_cast<std::uint8_t>(cylinder)};
}

std::uint8_t mbr_partition_type(FileSystem file_system, std::uint64_t start_sectors, std::uint64_t length_sectors,
                                const ChsGeometry& geometry)
{
    // Beyond 65,535 sectors the 16-bit sector count of the boot sector is 0,
    // which DOS before 3.31 (the readers of type 04h) cannot follow.
    constexpr std::uint64_t fat16_small_limit_sectors = 65536;
    switch (file_system) {
    case FileSystem::fat12:
        return partition_type::fat12;
    case FileSystem::fat16:
        return length_sectors < fat16_small_limit_sectors ? partition_type::fat16_small : partition_type::fat16;
    case FileSystem::fat32: {
        const std::uint64_t last_sector = start_sectors + std::max<std::uint64_t>(length_sectors, 1) - 1;
        return chs_addressable(last_sector, geometry) ? partition_type::fat32_chs : partition_type::fat32_lba;
    }
    case FileSystem::exfat:
        return partition_type::exfat;
    }
    return partition_type::fat16;
}

std::uint32_t mbr_disk_signature(const FormatStamp& stamp)
{
    return stamp.disk_signature != 0 ? stamp.disk_signature : stamp.volume_serial | 1u;
}

void fill_mbr_sector(std::span<std::uint8_t, 512> sector, const MbrLayout& layout, const FormatStamp& stamp)
{
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    store_le32(sector, mbr_offset::disk_signature, mbr_disk_signature(stamp));
    store_le16(sector, mbr_offset::copy_protect, 0);

    const std::span<std::uint8_t> entry =
        std::span<std::uint8_t>(sector).subspan(mbr_offset::first_entry, mbr_partition_entry_bytes);
    const std::uint64_t last_sector =
        layout.partition_start_sectors + std::max<std::uint64_t>(layout.partition_length_sectors, 1) - 1;
    const auto start_chs = encode_chs(layout.partition_start_sectors, layout.geometry);
    const auto end_chs = encode_chs(last_sector, layout.geometry);
    entry[partition_entry_offset::boot_indicator] = 0x00;
    std::copy(start_chs.begin(), start_chs.end(), entry.begin() + partition_entry_offset::start_chs);
    entry[partition_entry_offset::type] = layout.partition_type;
    std::copy(end_chs.begin(), end_chs.end(), entry.begin() + partition_entry_offset::end_chs);
    store_le32(entry, partition_entry_offset::start_lba, static_cast<std::uint32_t>(layout.partition_start_sectors));
    store_le32(entry, partition_entry_offset::length, static_cast<std::uint32_t>(layout.partition_length_sectors));

    store_le16(sector, mbr_offset::signature, boot_signature);
}

FormatStatus write_mbr(BlockDevice& device, const MbrLayout& layout, const FormatStamp& stamp)
{
    constexpr std::uint64_t max_field = std::numeric_limits<std::uint32_t>::max();
    if (device.sector_size_bytes() != 512) {
        return FormatStatus::failed(Failure::bad_geometry, Region::mbr);
    }
    if (layout.partition_start_sectors > max_field || layout.partition_length_sectors > max_field ||
        layout.partition_start_sectors + layout.partition_length_sectors > mbr_addressable_sectors) {
        return FormatStatus::failed(Failure::too_large, Region::mbr);
    }
    std::array<std::uint8_t, 512> sector{};
    fill_mbr_sector(sector, layout, stamp);
    if (device.write(0, sector) != IoResult::ok) {
        return FormatStatus::failed(Failure::write_failed, Region::mbr, 0);
    }
    return FormatStatus::success();
}

}  // namespace trellan

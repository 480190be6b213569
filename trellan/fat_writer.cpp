#include "trellan/fat_writer.h"

#include <array>
#include <vector>

#include "trellan/byte_order.h"
#include "trellan/fat_structures.h"
#include "trellan/mbr.h"
#include "trellan/stale_clearing.h"

namespace trellan {
namespace {

using Sector = std::array<std::uint8_t, sector_bytes>;

FormatStatus write_sector(BlockDevice& device, std::uint64_t lba, const Sector& sector, Region region)
{
    if (device.write(lba, sector) != IoResult::ok) {
        return FormatStatus::failed(Failure::write_failed, region, lba);
    }
    return FormatStatus::success();
}

}  // namespace

FormatStatus clear_stale_metadata(BlockDevice& device, const FatLayout& layout)
{
    // Both FATs, the FAT12/16 root and the FAT32 root cluster lie back to back.
    const std::uint64_t start = layout.partition_start_sectors;
    const std::uint64_t root_cluster_sectors = layout.file_system == FileSystem::fat32 ? layout.sectors_per_cluster : 0;
    const SectorRange structures[] = {
        {start + layout.fat_offset_sectors(), layout.data_start_sectors() + root_cluster_sectors}};
    const std::vector<SectorRange> ranges = clearing_ranges(device.length_sectors(), start, structures);
    return zero_ranges(device, ranges);
}

FormatStatus write_fats(BlockDevice& device, const FatLayout& layout)
{
    // The rest of each FAT is zero (free) from the clearing pass.
    Sector sector{};
    fill_first_fat_sector(sector, layout);
    for (std::uint32_t copy = 0; copy < fat_copies; ++copy) {
        const std::uint64_t lba = layout.partition_start_sectors + layout.fat_offset_sectors() +
                                  std::uint64_t{copy} * layout.fat_length_sectors;
        if (FormatStatus status = write_sector(device, lba, sector, Region::fat); !status.ok()) {
            return status;
        }
    }
    return FormatStatus::success();
}

FormatStatus write_root_directory(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                                  const FormatStamp& stamp)
{
    Sector sector{};
    fill_first_root_sector(sector, label, stamp);
    const std::uint64_t lba = layout.file_system == FileSystem::fat32
                                  ? layout.data_start_sectors()
                                  : layout.partition_start_sectors + layout.root_directory_offset_sectors();
    return write_sector(device, lba, sector, Region::root_directory);
}

FormatStatus write_fsinfo(BlockDevice& device, const FatLayout& layout)
{
    Sector fsinfo{};
    fill_fsinfo_sector(fsinfo, layout);
    // Sector 2 holds only a boot-sector signature; its backup is sector 8.
    Sector third{};
    store_le16(third, bpb_offset::signature, boot_signature);
    for (const std::uint32_t first : {0u, fat32_backup_boot_sector}) {
        const std::uint64_t lba = layout.partition_start_sectors + first + fat32_fsinfo_sector;
        if (FormatStatus status = write_sector(device, lba, fsinfo, Region::fsinfo); !status.ok()) {
            return status;
        }
        if (FormatStatus status = write_sector(device, lba + 1, third, Region::fsinfo); !status.ok()) {
            return status;
        }
    }
    return FormatStatus::success();
}

FormatStatus write_boot_sectors(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                                const FormatStamp& stamp)
{
    Sector sector{};
    fill_boot_sector(sector, layout, label, stamp.volume_serial);
    const std::uint64_t start = layout.partition_start_sectors;
    if (layout.file_system == FileSystem::fat32) {
        if (FormatStatus status = write_sector(device, start + fat32_backup_boot_sector, sector, Region::boot_sector);
            !status.ok()) {
            return status;
        }
    }
    return write_sector(device, start, sector, Region::boot_sector);
}

FormatStatus write_fat_volume(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                              const FormatStamp& stamp)
{
    const bool fat32 = layout.file_system == FileSystem::fat32;
    FormatStatus status = clear_stale_metadata(device, layout);
    if (status.ok()) {
        status = write_fats(device, layout);
    }
    if (status.ok()) {
        status = write_root_directory(device, layout, label, stamp);
    }
    if (status.ok() && fat32) {
        status = write_fsinfo(device, layout);
    }
    if (status.ok()) {
        status = write_boot_sectors(device, layout, label, stamp);
    }
    if (status.ok()) {
        status = write_mbr(device, layout.mbr_layout(), stamp);
    }
    if (status.ok() && device.flush() != IoResult::ok) {
        status = FormatStatus::failed(Failure::flush_failed, Region::device);
    }
    return status;
}

}  // namespace trellan

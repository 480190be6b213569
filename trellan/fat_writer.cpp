#include "trellan/fat_writer.h"

#include <algorithm>
#include <array>

#include "trellan/byte_order.h"
#include "trellan/fat_structures.h"
#include "trellan/mbr.h"

namespace trellan {
namespace {

// The old GPT header sits in sector 1 and its backup in the card's last
// sector; partition tools keep both inside the first and last MiB.
constexpr std::uint64_t stale_edge_sectors = 2048;

using Sector = std::array<std::uint8_t, sector_bytes>;

FormatStatus write_sector(BlockDevice& device, std::uint64_t lba, const Sector& sector, Region region)
{
    if (device.write(lba, sector) != IoResult::ok) {
        return FormatStatus::failed(Failure::write_failed, region, lba);
    }
    return FormatStatus::success();
}

FormatStatus zero_range(BlockDevice& device, std::uint64_t first_sector, std::uint64_t end_sector)
{
    if (end_sector > first_sector && device.write_zeros(first_sector, end_sector - first_sector) != IoResult::ok) {
        return FormatStatus::failed(Failure::write_failed, Region::erase, first_sector);
    }
    return FormatStatus::success();
}

}  // namespace

FormatStatus clear_stale_metadata(BlockDevice& device, std::uint64_t system_end_sectors)
{
    const std::uint64_t card = device.length_sectors();
    const std::uint64_t head_end = std::min(card, std::max(system_end_sectors, stale_edge_sectors));
    if (FormatStatus status = zero_range(device, 0, head_end); !status.ok()) {
        return status;
    }
    return zero_range(device, std::max(head_end, card - std::min(card, stale_edge_sectors)), card);
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
    const std::uint64_t system_end = layout.data_start_sectors() + (fat32 ? layout.sectors_per_cluster : 0);
    FormatStatus status = clear_stale_metadata(device, system_end);
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

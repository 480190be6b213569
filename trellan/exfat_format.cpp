// Plan, then write the regions in order. The MBR goes last, so that a format
// cut short leaves a card no host mistakes for a formatted one.
//
// OEM parameters: a flash-parameters record the card's old volume holds is
// kept, read before anything is written (or before the caller's erase, by
// the caller); none is made up. The record's
// values for SD cards are not settled anywhere we can check, readers do not
// need it, and the heap's alignment to the boundary unit already carries
// what the erase-block size would tell a driver.
#include "trellan/exfat_format.h"

#include <algorithm>
#include <vector>

#include "trellan/byte_order.h"
#include "trellan/exfat_boot_region.h"
#include "trellan/exfat_layout.h"
#include "trellan/exfat_oem_parameters.h"
#include "trellan/exfat_root_directory.h"
#include "trellan/exfat_upcase.h"
#include "trellan/mbr.h"
#include "trellan/stale_clearing.h"

namespace trellan {
namespace {

constexpr std::uint32_t sector_bytes = 512;

constexpr std::uint32_t fat_media_entry = 0xFFFFFFF8;   // FAT[0]: media F8h
constexpr std::uint32_t fat_end_of_chain = 0xFFFFFFFF;  // also FAT[1]
constexpr std::uint32_t fat_entry_bytes = 4;

FormatStatus checked(IoResult result, Region region, std::uint64_t sector)
{
    if (result == IoResult::ok) {
        return FormatStatus::success();
    }
    return FormatStatus::failed(Failure::write_failed, region, sector);
}

class ExfatWriter {
public:
    ExfatWriter(BlockDevice& device, const ExfatLayout& layout) : device_(device), layout_(layout) {}

    // Old signatures go (see stale_clearing.h) and the used part of the FAT
    // starts out zero; the heap's system objects are written whole.
    FormatStatus clear_stale_metadata()
    {
        const std::uint64_t fat_first = volume_sector(layout_.fat_offset_sectors);
        const SectorRange structures[] = {{fat_first, fat_first + layout_.fat_used_sectors}};
        const std::vector<SectorRange> ranges =
            clearing_ranges(layout_.total_sectors, layout_.partition_start_sectors, structures);
        return zero_ranges(device_, ranges);
    }

    FormatStatus write_fat()
    {
        const std::uint32_t entries = 2 + layout_.used_clusters();
        std::vector<std::uint8_t> head(sectors_for(entries * fat_entry_bytes) * sector_bytes);
        store_le32(head, 0, fat_media_entry);
        store_le32(head, fat_entry_bytes, fat_end_of_chain);
        chain(head, layout_.bitmap_first_cluster, layout_.bitmap_clusters);
        chain(head, layout_.upcase_first_cluster, layout_.upcase_clusters);
        chain(head, layout_.root_first_cluster, layout_.root_clusters);
        return write(volume_sector(layout_.fat_offset_sectors), head, Region::fat);
    }

    FormatStatus write_bitmap()
    {
        std::vector<std::uint8_t> bitmap(std::size_t{layout_.bitmap_clusters} * layout_.cluster_bytes());
        // Bit n stands for cluster n + 2; the system objects fill the first clusters.
        for (std::uint32_t n = 0; n < layout_.used_clusters(); ++n) {
            bitmap[n / 8] = static_cast<std::uint8_t>(bitmap[n / 8] | (1u << (n % 8)));
        }
        return write(layout_.cluster_sector(layout_.bitmap_first_cluster), bitmap, Region::allocation_bitmap);
    }

    FormatStatus write_upcase(std::span<const std::uint8_t> table)
    {
        std::vector<std::uint8_t> clusters(std::size_t{layout_.upcase_clusters} * layout_.cluster_bytes());
        std::copy(table.begin(), table.end(), clusters.begin());
        return write(layout_.cluster_sector(layout_.upcase_first_cluster), clusters, Region::upcase_table);
    }

    FormatStatus write_root(std::u16string_view label, std::uint32_t upcase_checksum)
    {
        std::vector<std::uint8_t> root(std::size_t{layout_.root_clusters} * layout_.cluster_bytes());
        write_exfat_root_entries(root, layout_, label, upcase_checksum);
        return write(layout_.cluster_sector(layout_.root_first_cluster), root, Region::root_directory);
    }

    // Backup first: until the main region is complete the volume does not verify.
    FormatStatus write_boot_regions(std::uint32_t volume_serial, const std::optional<ExfatOemSector>& oem_parameters)
    {
        const ExfatBootRegion region = build_exfat_boot_region(layout_, volume_serial, oem_parameters);
        if (auto status = write(volume_sector(exfat_boot::backup_region_sector), region, Region::exfat_boot_region);
            !status.ok()) {
            return status;
        }
        return write(volume_sector(0), region, Region::exfat_boot_region);
    }

private:
    static std::uint64_t sectors_for(std::uint64_t bytes) { return (bytes + sector_bytes - 1) / sector_bytes; }

    std::uint64_t volume_sector(std::uint64_t sector) const { return layout_.partition_start_sectors + sector; }

    void chain(std::span<std::uint8_t> fat, std::uint32_t first, std::uint32_t count)
    {
        for (std::uint32_t cluster = first; cluster < first + count; ++cluster) {
            const bool last = cluster + 1 == first + count;
            store_le32(fat, std::size_t{cluster} * fat_entry_bytes, last ? fat_end_of_chain : cluster + 1);
        }
    }

    FormatStatus write(std::uint64_t sector, std::span<const std::uint8_t> bytes, Region region)
    {
        return checked(device_.write(sector, bytes), region, sector);
    }

    BlockDevice& device_;
    const ExfatLayout& layout_;
};

}  // namespace

FormatStatus format_exfat(BlockDevice& device, std::u16string_view label, const FormatStamp& stamp,
                          const std::optional<ExfatOemSector>& old_oem_parameters)
{
    if (device.is_read_only()) {
        return FormatStatus::failed(Failure::write_failed, Region::device);
    }
    const std::vector<std::uint8_t> upcase = exfat_upcase_table_bytes();
    const ExfatPlan plan =
        plan_exfat(device.length_sectors(), device.sector_size_bytes(), static_cast<std::uint32_t>(upcase.size()));
    if (!plan.status.ok()) {
        return plan.status;
    }
    const ExfatLayout& layout = plan.layout;
    ExfatWriter writer(device, layout);
    const std::optional<ExfatOemSector> oem_parameters =
        old_oem_parameters ? kept_oem_parameters(*old_oem_parameters) : read_oem_parameters(device);

    FormatStatus status = writer.clear_stale_metadata();
    if (status.ok())
        status = writer.write_fat();
    if (status.ok())
        status = writer.write_bitmap();
    if (status.ok())
        status = writer.write_upcase(upcase);
    if (status.ok())
        status = writer.write_root(label, exfat_upcase_checksum(upcase));
    if (status.ok())
        status = writer.write_boot_regions(stamp.volume_serial, oem_parameters);
    if (status.ok()) {
        const ChsGeometry geometry = sd_chs_geometry(layout.total_sectors);
        const MbrLayout mbr{layout.partition_start_sectors, layout.volume_length_sectors,
                            mbr_partition_type(FileSystem::exfat, layout.partition_start_sectors,
                                               layout.volume_length_sectors, geometry),
                            geometry};
        status = write_mbr(device, mbr, stamp);
    }
    if (status.ok() && device.flush() != IoResult::ok) {
        status = FormatStatus::failed(Failure::flush_failed, Region::device);
    }
    return status;
}

}  // namespace trellan

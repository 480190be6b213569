#include "trellan/fat_structures.h"

#include <algorithm>
#include <string_view>

#include "trellan/byte_order.h"

namespace trellan {
namespace {

// BIOS drive number of the first hard disk: cards are read as fixed disks.
constexpr std::uint8_t hard_disk_drive_number = 0x80;
// 29h: volume ID, label and type name follow.
constexpr std::uint8_t extended_boot_signature = 0x29;
constexpr std::uint32_t fsinfo_lead_signature = 0x41615252;
constexpr std::uint32_t fsinfo_struct_signature = 0x61417272;
constexpr std::uint32_t fsinfo_trail_signature = 0xAA550000;
// fatgen103 recommends this OEM name: some old drivers check it.
constexpr std::string_view oem_name = "MSWIN4.1";
// A PC that tries to boot the card stops here instead of running zeros:
// hlt, then jump back to the hlt.
constexpr std::uint8_t halt_loop[] = {0xF4, 0xEB, 0xFD};

constexpr std::uint32_t fat32_end_of_chain = 0x0FFFFFFF;
// A first name byte of E5h marks a deleted directory entry; 05h stands for it.
constexpr std::uint8_t deleted_entry_mark = 0xE5;
constexpr std::uint8_t escaped_deleted_mark = 0x05;

void put_text(std::span<std::uint8_t> sector, std::size_t offset, std::string_view text)
{
    std::copy(text.begin(), text.end(), sector.begin() + static_cast<std::ptrdiff_t>(offset));
}

void put_bytes(std::span<std::uint8_t> sector, std::size_t offset, std::span<const std::uint8_t> bytes)
{
    std::copy(bytes.begin(), bytes.end(), sector.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string_view type_name(FileSystem file_system)
{
    switch (file_system) {
    case FileSystem::fat12:
        return "FAT12   ";
    case FileSystem::fat16:
        return "FAT16   ";
    case FileSystem::fat32:
    case FileSystem::exfat:
        break;
    }
    return "FAT32   ";
}

}  // namespace

std::uint16_t dos_date(const FormatStamp& stamp)
{
    return static_cast<std::uint16_t>((stamp.year - 1980) << 9 | stamp.month << 5 | stamp.day);
}

std::uint16_t dos_time(const FormatStamp& stamp)
{
    return static_cast<std::uint16_t>(stamp.hour << 11 | stamp.minute << 5 | stamp.second / 2);
}

void fill_boot_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout, const FatLabel& label,
                      std::uint32_t volume_id)
{
    const bool fat32 = layout.file_system == FileSystem::fat32;
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});

    // Short jump over the parameter block to the boot code, then nop.
    const std::size_t boot_code = fat32 ? fat32_bpb_offset::boot_code : fat16_bpb_offset::boot_code;
    const std::uint8_t jump[] = {0xEB, static_cast<std::uint8_t>(boot_code - 2), 0x90};
    put_bytes(sector, bpb_offset::jump, jump);
    put_text(sector, bpb_offset::oem_name, oem_name);
    store_le16(sector, bpb_offset::bytes_per_sector, sector_bytes);
    sector[bpb_offset::sectors_per_cluster] = static_cast<std::uint8_t>(layout.sectors_per_cluster);
    store_le16(sector, bpb_offset::reserved_sectors, static_cast<std::uint16_t>(layout.reserved_sectors));
    sector[bpb_offset::fat_count] = fat_copies;
    store_le16(sector, bpb_offset::root_entries, static_cast<std::uint16_t>(layout.root_entries));
    const bool short_count = !fat32 && layout.partition_length_sectors <= bpb_max_16_bit;
    store_le16(sector, bpb_offset::total_sectors_16,
               short_count ? static_cast<std::uint16_t>(layout.partition_length_sectors) : 0);
    sector[bpb_offset::media] = fixed_disk_media;
    store_le16(sector, bpb_offset::fat_length_16, fat32 ? 0 : static_cast<std::uint16_t>(layout.fat_length_sectors));
    store_le16(sector, bpb_offset::sectors_per_track, static_cast<std::uint16_t>(layout.geometry.sectors_per_track));
    store_le16(sector, bpb_offset::heads, static_cast<std::uint16_t>(layout.geometry.heads));
    store_le32(sector, bpb_offset::hidden_sectors, static_cast<std::uint32_t>(layout.partition_start_sectors));
    store_le32(sector, bpb_offset::total_sectors_32,
               short_count ? 0 : static_cast<std::uint32_t>(layout.partition_length_sectors));

    if (fat32) {
        store_le32(sector, fat32_bpb_offset::fat_length_32, layout.fat_length_sectors);
        store_le16(sector, fat32_bpb_offset::extended_flags, 0);
        store_le16(sector, fat32_bpb_offset::version, 0);
        store_le32(sector, fat32_bpb_offset::root_cluster, fat32_root_cluster);
        store_le16(sector, fat32_bpb_offset::fsinfo_sector, fat32_fsinfo_sector);
        store_le16(sector, fat32_bpb_offset::backup_boot_sector, fat32_backup_boot_sector);
        sector[fat32_bpb_offset::drive_number] = hard_disk_drive_number;
        sector[fat32_bpb_offset::boot_signature] = extended_boot_signature;
        store_le32(sector, fat32_bpb_offset::volume_id, volume_id);
        put_bytes(sector, fat32_bpb_offset::volume_label, label.bytes);
        put_text(sector, fat32_bpb_offset::type_name, type_name(layout.file_system));
    } else {
        sector[fat16_bpb_offset::drive_number] = hard_disk_drive_number;
        sector[fat16_bpb_offset::boot_signature] = extended_boot_signature;
        store_le32(sector, fat16_bpb_offset::volume_id, volume_id);
        put_bytes(sector, fat16_bpb_offset::volume_label, label.bytes);
        put_text(sector, fat16_bpb_offset::type_name, type_name(layout.file_system));
    }
    put_bytes(sector, boot_code, halt_loop);
    store_le16(sector, bpb_offset::signature, boot_signature);
}

void fill_fsinfo_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout)
{
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    store_le32(sector, fsinfo_offset::lead_signature, fsinfo_lead_signature);
    store_le32(sector, fsinfo_offset::struct_signature, fsinfo_struct_signature);
    // The root directory holds cluster 2; the search for free ones starts after it.
    store_le32(sector, fsinfo_offset::free_clusters, layout.total_clusters - 1);
    store_le32(sector, fsinfo_offset::next_free, fat32_root_cluster + 1);
    store_le32(sector, fsinfo_offset::trail_signature, fsinfo_trail_signature);
}

void fill_first_fat_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLayout& layout)
{
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    // Entry 0 carries the media byte, entry 1 all ones: clean, no errors.
    switch (layout.file_system) {
    case FileSystem::fat12: {
        const std::uint8_t entries[] = {fixed_disk_media, 0xFF, 0xFF};
        put_bytes(sector, 0, entries);
        break;
    }
    case FileSystem::fat16:
        store_le16(sector, 0, 0xFF00 | fixed_disk_media);
        store_le16(sector, 2, 0xFFFF);
        break;
    case FileSystem::fat32:
    case FileSystem::exfat:
        store_le32(sector, 0, 0x0FFFFF00 | fixed_disk_media);
        store_le32(sector, 4, fat32_end_of_chain);
        store_le32(sector, 8, fat32_end_of_chain);  // the root directory is one cluster
        break;
    }
}

void fill_first_root_sector(std::span<std::uint8_t, sector_bytes> sector, const FatLabel& label,
                            const FormatStamp& stamp)
{
    std::fill(sector.begin(), sector.end(), std::uint8_t{0});
    if (!label.present) {
        return;
    }
    put_bytes(sector, directory_entry_offset::name, label.bytes);
    if (sector[directory_entry_offset::name] == deleted_entry_mark) {
        sector[directory_entry_offset::name] = escaped_deleted_mark;
    }
    sector[directory_entry_offset::attributes] = volume_label_attribute;
    store_le16(sector, directory_entry_offset::write_time, dos_time(stamp));
    store_le16(sector, directory_entry_offset::write_date, dos_date(stamp));
}

}  // namespace trellan

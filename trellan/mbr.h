// The master boot record of a card: CHS geometry, partition type and the
// one-entry partition table written to sector 0.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "trellan/block_device.h"
#include "trellan/file_system.h"
#include "trellan/format_stamp.h"
#include "trellan/format_status.h"
#include "trellan/mbr_fields.h"

namespace trellan {

// A partition's sectors are addressed by the entry's 32-bit LBA: its last
// sector must lie below this, or readers wrap it onto the card's start.
inline constexpr std::uint64_t mbr_addressable_sectors = std::uint64_t{1} << 32;

// System IDs of the partition entry.
namespace partition_type {
inline constexpr std::uint8_t fat12 = 0x01;
inline constexpr std::uint8_t fat16_small = 0x04;  // FAT16 below 65,536 sectors (16-bit sector count)
inline constexpr std::uint8_t fat16 = 0x06;
inline constexpr std::uint8_t exfat = 0x07;
inline constexpr std::uint8_t fat32_chs = 0x0B;  // whole partition reachable through CHS
inline constexpr std::uint8_t fat32_lba = 0x0C;
}  // namespace partition_type

struct ChsGeometry {
    std::uint32_t heads = 0;
    std::uint32_t sectors_per_track = 0;
};

// Heads and sectors per track of a card by its capacity, in whole MiB
// (card_sectors / 2048, rounded down).
ChsGeometry sd_chs_geometry(std::uint64_t card_sectors);

// Whether CHS can address this sector: 10 bits of cylinder, 1024 cylinders.
bool chs_addressable(std::uint64_t lba, const ChsGeometry& geometry);

// Head, sector | cylinder bits 9-8, cylinder bits 7-0 as a partition entry
// holds them. Beyond cylinder 1023 (or with an empty geometry) this is the
// saturated tuple FE FF FF: cylinder 1023, head 254, sector 63, the largest
// tuple that is valid for 255 heads; it is what DOS-lineage tools write and
// what partition readers take as "use the LBA fields". FF FF FF would claim
// head 255, which no geometry has.
std::array<std::uint8_t, 3> encode_chs(std::uint64_t lba, const ChsGeometry& geometry);

// 01h for FAT12 at any size (the only ID that names FAT12); FAT16 04h below
// 65,536 sectors, else 06h; FAT32 0Bh only while its last sector is
// CHS-addressable, else 0Ch; exFAT 07h.
std::uint8_t mbr_partition_type(FileSystem file_system, std::uint64_t start_sectors, std::uint64_t length_sectors,
                                const ChsGeometry& geometry);

struct MbrLayout {
    std::uint64_t partition_start_sectors = 0;
    std::uint64_t partition_length_sectors = 0;
    std::uint8_t partition_type = 0;
    ChsGeometry geometry;
};

// The disk signature written: the stamp's, or a value derived from the volume
// serial when the stamp carries none, since Windows rewrites a zero signature.
std::uint32_t mbr_disk_signature(const FormatStamp& stamp);

// Fills a 512-byte sector with the MBR of this layout (first entry only).
void fill_mbr_sector(std::span<std::uint8_t, 512> sector, const MbrLayout& layout, const FormatStamp& stamp);

// Writes sector 0. Fails with too_large when the partition does not fit the
// 32-bit fields, and with bad_geometry for sectors other than 512 bytes.
FormatStatus write_mbr(BlockDevice& device, const MbrLayout& layout, const FormatStamp& stamp);

}  // namespace trellan

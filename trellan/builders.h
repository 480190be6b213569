// The five card builders. Each measures the card (its real length, not what
// the caller believes), plans a layout for it and writes it; the label is
// what the user typed, up to 15 ANSI characters, and never makes a format
// fail. Failures come back as values naming the region and sector.
#pragma once

#include <optional>

#include "trellan/block_device.h"
#include "trellan/builder.h"
#include "trellan/exfat_oem_parameters.h"
#include "trellan/fat_layout.h"
#include "trellan/format_stamp.h"
#include "trellan/format_status.h"
#include "trellan/volume_label.h"

namespace trellan {

// Standard-capacity SD: MBR, FAT12 or FAT16 by cluster count with the SD
// cluster and boundary-unit table; cards beyond it get the high-capacity
// FAT32 layout.
FormatStatus build_sd(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp);
// High-capacity SD: FAT32, partition at 4 MiB, 32 KiB clusters, data area on 4 MiB.
FormatStatus build_fat32(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp);
// MultiMediaCard: the SD rules up to 2 GiB, the high-capacity FAT32 layout above.
FormatStatus build_mmc(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp);
// CompactFlash: hard-disk style, partition on the second track, Windows'
// default clusters, FAT12/16 up to 2 GiB and FAT32 above.
FormatStatus build_cf(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp);
// SDXC: exFAT.
FormatStatus build_exfat(BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp);

// old_oem_parameters: for exFAT, what a caller that erased the card read
// from it before (see format_exfat); the other builders have no such sector.
FormatStatus build(Builder builder, BlockDevice& device, const VolumeLabel& label, const FormatStamp& stamp,
                   const std::optional<ExfatOemSector>& old_oem_parameters = std::nullopt);

// Why the builder would refuse a card of this many 512-byte sectors before
// writing anything; Failure::none when a layout fits (pure).
Failure layout_failure(Builder builder, std::uint64_t card_sectors);

// The layouts the FAT builders choose for a card of this size (pure).
FatPlan plan_sd(std::uint64_t card_sectors);
FatPlan plan_sd_high_capacity(std::uint64_t card_sectors);
FatPlan plan_mmc(std::uint64_t card_sectors);
FatPlan plan_cf(std::uint64_t card_sectors);

}  // namespace trellan

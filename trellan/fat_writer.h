// Writes a planned FAT volume and its MBR to a card, one region at a time.
#pragma once

#include "trellan/block_device.h"
#include "trellan/fat_label.h"
#include "trellan/fat_layout.h"
#include "trellan/format_stamp.h"
#include "trellan/format_status.h"

namespace trellan {

// Zeroes what could make a reader see an old layout (see stale_clearing.h)
// and the new volume's own structures, which must start out zero: both FATs,
// the FAT12/16 root directory and the FAT32 root cluster.
FormatStatus clear_stale_metadata(BlockDevice& device, const FatLayout& layout);

// The regions in the order they are written: cleared area, FATs, root
// directory, FSInfo and backup boot sectors, boot sector, MBR. The boot
// sector and the MBR come last, so a format cut short leaves no volume
// that looks valid.
FormatStatus write_fats(BlockDevice& device, const FatLayout& layout);
FormatStatus write_root_directory(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                                  const FormatStamp& stamp);
FormatStatus write_fsinfo(BlockDevice& device, const FatLayout& layout);
FormatStatus write_boot_sectors(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                                const FormatStamp& stamp);

// The whole format of one planned layout, flushed at the end.
FormatStatus write_fat_volume(BlockDevice& device, const FatLayout& layout, const FatLabel& label,
                              const FormatStamp& stamp);

}  // namespace trellan

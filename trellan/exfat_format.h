// The exFAT builder: an SDXC-style card, MBR with one exFAT partition (07h)
// aligned to the card's boundary unit.
#pragma once

#include <optional>
#include <string_view>

#include "trellan/block_device.h"
#include "trellan/exfat_oem_parameters.h"
#include "trellan/format_stamp.h"
#include "trellan/format_status.h"

namespace trellan {

// Formats the whole device. The label is kept to what exFAT can hold (see
// exfat_label.h) and never makes the format fail. old_oem_parameters: the
// OEM parameters sector of the card's exFAT volume, read by a caller that
// erased the card before; without it, the card's own is read (see
// exfat_oem_parameters.h). Either way only a flash-parameters record keeps
// its sector.
FormatStatus format_exfat(BlockDevice& device, std::u16string_view label, const FormatStamp& stamp,
                          const std::optional<ExfatOemSector>& old_oem_parameters = std::nullopt);

}  // namespace trellan

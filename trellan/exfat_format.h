// The exFAT builder: an SDXC-style card, MBR with one exFAT partition (07h)
// aligned to the card's boundary unit.
#pragma once

#include <string_view>

#include "trellan/block_device.h"
#include "trellan/format_stamp.h"
#include "trellan/format_status.h"

namespace trellan {

// Formats the whole device. The label is kept to what exFAT can hold (see
// exfat_label.h) and never makes the format fail.
FormatStatus format_exfat(BlockDevice& device, std::u16string_view label, const FormatStamp& stamp);

}  // namespace trellan

// A volume label in each file system's own terms, made once by the front
// end from what the user typed: the builders store it, they never guess
// the encoding of a byte string.
#pragma once

#include <string>
#include <string_view>

#include "trellan/oem_code_pages.h"

namespace trellan {

struct VolumeLabel {
    // For FAT: upper-cased bytes of the OEM code page; make_fat_label
    // trims, cuts, pads and sanitises them.
    std::string fat_oem;
    // For exFAT: the characters as typed; exfat_volume_label cuts and
    // sanitises them.
    std::u16string exfat_utf16;
};

// Malformed sequences become U+FFFD, one for each byte that starts none.
std::u16string utf16_from_utf8(std::string_view utf8);

// Upper-cased by the up-case table exFAT and Windows share, one OEM byte
// per character; what the page cannot hold (a surrogate pair included)
// becomes '_'.
std::string fat_oem_label(std::u16string_view text, OemCodePage page);

VolumeLabel volume_label_from_utf8(std::string_view utf8, OemCodePage page);

}  // namespace trellan

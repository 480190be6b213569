// The volume label as an exFAT volume-label entry can hold it.
#pragma once

#include <string>
#include <string_view>

namespace trellan {

// exFAT stores at most 11 UTF-16 code units.
inline constexpr std::size_t exfat_label_max_units = 11;

// Keeps case; cuts after 11 code units (never between the halves of a
// surrogate pair); drops trailing blanks, so an all-blank label is none;
// replaces what a file name may not hold (0000h-001Fh and
// " * / : < > ? \ |) with '_'. A label never makes a format fail.
std::u16string exfat_volume_label(std::u16string_view label);

}  // namespace trellan

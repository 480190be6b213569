// The volume label as FAT stores it, made from what the user typed.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace trellan {

inline constexpr std::size_t fat_label_bytes = 11;

struct FatLabel {
    // Padded with blanks; "NO NAME    " when there is no label.
    std::array<std::uint8_t, fat_label_bytes> bytes{};
    // False: the boot sector says "NO NAME" and the root gets no label entry.
    bool present = false;
};

// Never fails: blanks around the text are dropped, the first 11 bytes kept,
// ASCII letters upper-cased and bytes a label cannot hold replaced by '_'.
// The text is already in the OEM code page (see volume_label.h); bytes from
// 80h up are that page's and are kept. A leading E5h stays E5h here: only
// the root directory's entry, where E5h marks a deleted entry, escapes it.
FatLabel make_fat_label(std::string_view oem_text);

}  // namespace trellan

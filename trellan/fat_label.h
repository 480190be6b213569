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

// Never fails: blanks around the text are dropped, the first 11 characters
// kept, ASCII letters upper-cased, bytes a label cannot hold replaced by '_',
// and a leading E5h (the deleted-entry mark) stored as 05h. Bytes from 80h up
// are the code page's and are kept as typed.
FatLabel make_fat_label(std::string_view typed);

}  // namespace trellan

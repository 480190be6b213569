// The OEM code pages a FAT label may be stored in, as data: Linux has no
// Windows code pages, so the portable side carries the two that Western
// installations use.
#pragma once

#include <cstdint>
#include <optional>

namespace trellan {

// The numbers are Windows' code-page identifiers.
enum class OemCodePage : unsigned { cp437 = 437, cp850 = 850 };

std::optional<OemCodePage> oem_code_page(unsigned number);

// The byte that holds this character in the page; nothing when the page
// cannot hold it. Bytes below 80h are ASCII in both pages.
std::optional<std::uint8_t> oem_byte(char16_t character, OemCodePage page);

// The character this byte holds in the page: what a label stored in it reads as.
char16_t oem_character(std::uint8_t byte, OemCodePage page);

}  // namespace trellan

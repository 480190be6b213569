#include "trellan/volume_label.h"

#include <cstdint>

#include "trellan/exfat_upcase.h"

namespace trellan {
namespace {

constexpr char16_t replacement_character = 0xFFFD;
constexpr char oem_replacement = '_';

bool is_continuation(std::uint8_t byte)
{
    return (byte & 0xC0) == 0x80;
}

// The number of bytes a sequence starting with this byte takes, 0 for a
// byte that starts none; the smallest code point it may encode, so that
// overlong forms are refused.
struct SequenceStart {
    std::size_t bytes;
    char32_t payload;
    char32_t smallest;
};

SequenceStart sequence_start(std::uint8_t byte)
{
    if (byte < 0x80)
        return {1, byte, 0};
    if ((byte & 0xE0) == 0xC0)
        return {2, byte & 0x1Fu, 0x80};
    if ((byte & 0xF0) == 0xE0)
        return {3, byte & 0x0Fu, 0x800};
    if ((byte & 0xF8) == 0xF0)
        return {4, byte & 0x07u, 0x10000};
    return {0, 0, 0};
}

void append_utf16(std::u16string& text, char32_t code_point)
{
    if (code_point < 0x10000) {
        text.push_back(static_cast<char16_t>(code_point));
        return;
    }
    code_point -= 0x10000;
    text.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
}

bool is_surrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

bool is_high_surrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::u16string utf16_from_utf8(std::string_view utf8)
{
    std::u16string text;
    std::size_t index = 0;
    while (index < utf8.size()) {
        const SequenceStart start = sequence_start(static_cast<std::uint8_t>(utf8[index]));
        char32_t code_point = start.payload;
        std::size_t length = start.bytes;
        for (std::size_t next = 1; next < length; ++next) {
            if (index + next >= utf8.size() || !is_continuation(static_cast<std::uint8_t>(utf8[index + next]))) {
                length = 0;
                break;
            }
            code_point = code_point << 6 | (static_cast<std::uint8_t>(utf8[index + next]) & 0x3Fu);
        }
        const bool valid = length != 0 && code_point >= start.smallest && code_point <= 0x10FFFF &&
                           !(code_point >= 0xD800 && code_point <= 0xDFFF);
        append_utf16(text, valid ? code_point : replacement_character);
        index += valid ? length : 1;
    }
    return text;
}

std::string fat_oem_label(std::u16string_view text, OemCodePage page)
{
    std::string oem;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char16_t unit = text[index];
        if (is_surrogate(unit)) {
            // Both halves of a pair are one character, which no OEM page holds.
            if (is_high_surrogate(unit) && index + 1 < text.size() && is_surrogate(text[index + 1])) {
                ++index;
            }
            oem.push_back(oem_replacement);
            continue;
        }
        const std::optional<std::uint8_t> byte = oem_byte(exfat_upcase(unit), page);
        oem.push_back(byte ? static_cast<char>(*byte) : oem_replacement);
    }
    return oem;
}

VolumeLabel volume_label_from_utf8(std::string_view utf8, OemCodePage page)
{
    VolumeLabel label;
    label.exfat_utf16 = utf16_from_utf8(utf8);
    label.fat_oem = fat_oem_label(label.exfat_utf16, page);
    return label;
}

}  // namespace trellan

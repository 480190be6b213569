#include "cli/label_text.h"

#include "trellan/exfat_label.h"
#include "trellan/fat_label.h"
#include "trellan/volume_label.h"

namespace {

constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kLowSurrogateEnd = 0xE000;

void AppendUtf8(char32_t point, std::string& text)
{
    if (point < 0x80) {
        text += static_cast<char>(point);
    } else if (point < 0x800) {
        text += static_cast<char>(0xC0 | point >> 6);
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        text += static_cast<char>(0xE0 | point >> 12);
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | point >> 18);
        text += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// The labels here come whole from the builders' rules: a surrogate pair is
// never split, so a lone half does not occur.
std::string Utf8FromUtf16(std::u16string_view units)
{
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst && i + 1 < units.size() &&
            units[i + 1] >= kLowSurrogateFirst && units[i + 1] < kLowSurrogateEnd) {
            AppendUtf8(0x10000 + ((char32_t{unit} - kHighSurrogateFirst) << 10) + (units[++i] - kLowSurrogateFirst),
                       text);
        } else {
            AppendUtf8(unit, text);
        }
    }
    return text;
}

}  // namespace

std::string StoredLabelText(trellan::Builder builder, std::string_view typedUtf8, trellan::OemCodePage page)
{
    const trellan::VolumeLabel label = trellan::volume_label_from_utf8(typedUtf8, page);
    if (builder == trellan::Builder::exfat) {
        return Utf8FromUtf16(trellan::exfat_volume_label(label.exfat_utf16));
    }
    const trellan::FatLabel fat = trellan::make_fat_label(label.fat_oem);
    if (!fat.present) {
        return {};
    }
    std::u16string characters;
    for (const std::uint8_t byte : fat.bytes) {
        characters += trellan::oem_character(byte, page);
    }
    characters.erase(characters.find_last_not_of(u' ') + 1);
    return Utf8FromUtf16(characters);
}

std::string LabelLine(std::string_view storedUtf8, std::string_view typedUtf8)
{
    std::string line = storedUtf8.empty() ? "no label" : "label \"" + std::string(storedUtf8) + "\"";
    if (storedUtf8 != typedUtf8) {
        line += ", typed \"" + std::string(typedUtf8) + "\"";
    }
    return line;
}

#include "trellan/fat_label.h"

#include <algorithm>

namespace trellan {
namespace {

bool label_can_hold(std::uint8_t byte)
{
    constexpr std::string_view forbidden = "\"*+,./:;<=>?[\\]|";
    if (byte < 0x20 || byte == 0x7F) {
        return false;
    }
    return byte >= 0x80 || forbidden.find(static_cast<char>(byte)) == std::string_view::npos;
}

std::string_view trim_blanks(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

FatLabel make_fat_label(std::string_view oem_text)
{
    constexpr std::string_view no_name = "NO NAME    ";
    FatLabel label;
    const std::string_view text = trim_blanks(oem_text).substr(0, fat_label_bytes);
    // Keeping 11 characters may leave blanks at the end; they are padding anyway.
    const std::string_view kept = trim_blanks(text);
    if (kept.empty()) {
        std::copy(no_name.begin(), no_name.end(), label.bytes.begin());
        return label;
    }
    label.present = true;
    label.bytes.fill(' ');
    std::transform(kept.begin(), kept.end(), label.bytes.begin(), [](char character) {
        const auto byte = static_cast<std::uint8_t>(character);
        if (byte >= 'a' && byte <= 'z') {
            return static_cast<std::uint8_t>(byte - 'a' + 'A');
        }
        return label_can_hold(byte) ? byte : std::uint8_t{'_'};
    });
    return label;
}

}  // namespace trellan

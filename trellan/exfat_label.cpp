#include "trellan/exfat_label.h"

namespace trellan {
namespace {

constexpr char16_t replacement = u'_';
constexpr char16_t last_control = 0x001F;
constexpr std::u16string_view forbidden = u"\"*/:<>?\\|";

bool is_high_surrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

}  // namespace

std::u16string exfat_volume_label(std::u16string_view label)
{
    std::u16string result(label.substr(0, exfat_label_max_units));
    if (label.size() > exfat_label_max_units && is_high_surrogate(result.back())) {
        result.pop_back();
    }
    // Trailing blanks are padding to FAT and so to a user: none are stored.
    result.erase(result.find_last_not_of(u' ') + 1);
    for (char16_t& unit : result) {
        if (unit <= last_control || forbidden.find(unit) != std::u16string_view::npos) {
            unit = replacement;
        }
    }
    return result;
}

}  // namespace trellan

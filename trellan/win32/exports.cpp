// The builders Trellan.dll exports: open the card behind the letter, turn
// the ANSI label into what the file system stores, format, flush. Nothing
// escapes as an exception; every failure is a zero result.
#include <windows.h>

#include <string>

#include "trellan/builders.h"
#include "trellan/exfat_format.h"
#include "trellan/format_stamp.h"
#include "trellan/trellan.h"
#include "trellan/win32/card_device.h"

namespace trellan {
namespace {

std::string_view typed_label(const char* label)
{
    return label == nullptr ? std::string_view{} : std::string_view(label);
}

// exFAT stores UTF-16: the typed bytes are read in the system's ANSI code page.
std::u16string ansi_to_utf16(const char* label)
{
    if (label == nullptr || *label == '\0') {
        return {};
    }
    const int units = MultiByteToWideChar(CP_ACP, 0, label, -1, nullptr, 0);
    if (units <= 1) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, label, -1, wide.data(), units);
    wide.resize(static_cast<std::size_t>(units - 1));
    return std::u16string(wide.begin(), wide.end());
}

template <typename Format>
int format_card(char letter, Format format)
{
    try {
        const std::unique_ptr<Win32CardDevice> card = Win32CardDevice::open(letter);
        if (!card) {
            return 0;
        }
        return format(*card, current_format_stamp()).ok() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// The FAT builders store the label's bytes as typed.
int build_fat(char letter, Builder builder, const char* label)
{
    const std::string_view typed = typed_label(label);
    return format_card(letter, [builder, typed](BlockDevice& card, const FormatStamp& stamp) {
        return build(builder, card, typed, stamp);
    });
}

}  // namespace
}  // namespace trellan

extern "C" int Trellan_BuildCf(char letter, char* label)
{
    return trellan::build_fat(letter, trellan::Builder::cf, label);
}

extern "C" int Trellan_BuildFat32(char letter, char* label)
{
    return trellan::build_fat(letter, trellan::Builder::fat32, label);
}

extern "C" int Trellan_BuildSd(char letter, char* label)
{
    return trellan::build_fat(letter, trellan::Builder::sd, label);
}

extern "C" int Trellan_BuildMmc(char letter, char* label)
{
    return trellan::build_fat(letter, trellan::Builder::mmc, label);
}

extern "C" int Trellan_BuildExFat(char letter, char* label)
{
    using namespace trellan;
    const char* typed = label;
    return format_card(letter, [typed](BlockDevice& card, const FormatStamp& stamp) {
        return format_exfat(card, ansi_to_utf16(typed), stamp);
    });
}

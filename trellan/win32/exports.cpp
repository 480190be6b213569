// The builders Trellan.dll exports: open the card behind the letter, turn
// the ANSI label into what the file system stores, format, flush. Nothing
// escapes as an exception; every failure is a zero result.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "trellan/builders.h"
#include "trellan/fat_label.h"
#include "trellan/format_stamp.h"
#include "trellan/trellan.h"
#include "trellan/volume_label.h"
#include "trellan/win32/card_device.h"
#include "trellan/win32/win32_handle.h"

namespace trellan {
namespace {

// The most bytes one character takes in any code page Windows has.
constexpr int max_character_bytes = 4;

// The typed bytes are read in the system's ANSI code page.
std::wstring ansi_to_utf16(const char* label)
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
    return wide;
}

// One character in the system's OEM code page; '_' when the page cannot
// hold it (no best-fit look-alikes: a label reads back as typed or shows
// where it could not).
std::string oem_character(const wchar_t* character, int units)
{
    char bytes[max_character_bytes];
    BOOL defaulted = FALSE;
    int count =
        WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, character, units, bytes, sizeof bytes, "_", &defaulted);
    if (count <= 0) {
        // Code pages such as UTF-8 take neither the flag nor a default character.
        count = WideCharToMultiByte(CP_OEMCP, 0, character, units, bytes, sizeof bytes, nullptr, nullptr);
    }
    return count > 0 ? std::string(bytes, static_cast<std::size_t>(count)) : std::string("_");
}

// FAT: as Windows stores a label, upper case in the OEM code page, cut at
// 11 bytes between characters (a double-byte one is never halved). Leading
// blanks are dropped first so that they do not take up the 11 bytes.
std::string fat_oem_label(std::wstring wide)
{
    wide.erase(0, wide.find_first_not_of(L' '));
    if (!wide.empty()) {
        CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    std::string oem;
    for (std::size_t index = 0; index < wide.size();) {
        const bool pair =
            IS_HIGH_SURROGATE(wide[index]) && index + 1 < wide.size() && IS_LOW_SURROGATE(wide[index + 1]);
        const int units = pair ? 2 : 1;
        const std::string character = oem_character(&wide[index], units);
        if (oem.size() + character.size() > fat_label_bytes) {
            break;
        }
        oem += character;
        index += static_cast<std::size_t>(units);
    }
    return oem;
}

// What no label typed in an ANSI code page begins with: the UTF-8
// byte-order mark, before a label that page cannot hold.
constexpr std::string_view utf8_label_mark = "\xEF\xBB\xBF";

VolumeLabel label_from_ansi(const char* label)
{
    if (label != nullptr && std::string_view(label).starts_with(utf8_label_mark)) {
        const std::u16string typed = utf16_from_utf8(label + utf8_label_mark.size());
        return VolumeLabel{fat_oem_label(std::wstring(typed.begin(), typed.end())), typed};
    }
    const std::wstring wide = ansi_to_utf16(label);
    return VolumeLabel{fat_oem_label(wide), std::u16string(wide.begin(), wide.end())};
}

// Every exported builder takes this one path: the label in the file
// system's terms, then the portable builder with its device checks.
int build_card(char letter, Builder builder, const char* label)
{
    try {
        const QuietCriticalErrors quiet;
        const VolumeLabel volume_label = label_from_ansi(label);
        const std::unique_ptr<Win32CardDevice> card = Win32CardDevice::open(letter);
        if (!card) {
            return 0;
        }
        if (!build(builder, *card, volume_label, current_format_stamp(), card->kept_oem_parameters()).ok()) {
            return 0;
        }
        // Formatted whether or not Windows shows the new layout yet.
        card->give_back();
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace
}  // namespace trellan

extern "C" int Trellan_BuildCf(char letter, char* label)
{
    return trellan::build_card(letter, trellan::Builder::cf, label);
}

extern "C" int Trellan_BuildFat32(char letter, char* label)
{
    return trellan::build_card(letter, trellan::Builder::fat32, label);
}

extern "C" int Trellan_BuildSd(char letter, char* label)
{
    return trellan::build_card(letter, trellan::Builder::sd, label);
}

extern "C" int Trellan_BuildMmc(char letter, char* label)
{
    return trellan::build_card(letter, trellan::Builder::mmc, label);
}

extern "C" int Trellan_BuildExFat(char letter, char* label)
{
    return trellan::build_card(letter, trellan::Builder::exfat, label);
}

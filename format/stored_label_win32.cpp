#include "format/stored_label_win32.h"

#include <windows.h>

#include "trellan/exfat_label.h"
#include "trellan/fat_label.h"

#include <algorithm>
#include <optional>

namespace {

constexpr int kMaxCharacterBytes = 4;

// The character in the OEM code page, or nothing where it holds no such character.
std::optional<std::string> OemCharacter(const wchar_t* character, int units)
{
    char bytes[kMaxCharacterBytes];
    BOOL defaulted = FALSE;
    const int count =
        WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, character, units, bytes, sizeof bytes, "_", &defaulted);
    if (count <= 0 || defaulted)
        return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(count));
}

std::wstring FromOem(const std::string& oem)
{
    const int units = MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(units, 0)), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, oem.data(), static_cast<int>(oem.size()), wide.data(), units);
    return wide;
}

// As the library makes FAT's label: capitals, leading blanks dropped, cut
// between characters at 11 bytes, then FAT's own rules.
LabelOnCard FatLabelAsStored(const std::wstring& typed)
{
    std::wstring upper = typed;
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    upper.erase(0, upper.find_first_not_of(L' '));
    LabelOnCard stored;
    std::string oem;
    for (std::size_t index = 0; index < upper.size();) {
        const int units = IS_HIGH_SURROGATE(upper[index]) && index + 1 < upper.size() ? 2 : 1;
        const std::optional<std::string> character = OemCharacter(&upper[index], units);
        if (oem.size() + (character ? character->size() : 1) > trellan::fat_label_bytes)
            break;
        oem += character.value_or("_");
        stored.replaced = stored.replaced || !character;
        index += static_cast<std::size_t>(units);
    }
    const trellan::FatLabel label = trellan::make_fat_label(oem);
    if (label.present) {
        stored.text = FromOem(std::string(label.bytes.begin(), label.bytes.end()));
        stored.text.erase(stored.text.find_last_not_of(L' ') + 1);
    }
    return stored;
}

}  // namespace

LabelOnCard LabelAsStored(trellan::Builder builder, const std::wstring& typed)
{
    if (builder != trellan::Builder::exfat)
        return FatLabelAsStored(typed);
    const std::u16string kept = trellan::exfat_volume_label(std::u16string(typed.begin(), typed.end()));
    return {std::wstring(kept.begin(), kept.end()), false};
}

std::string CodePageText(const std::wstring& text, unsigned codePage)
{
    const int bytes = WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(std::max(bytes, 1)), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
    converted.resize(converted.size() - 1);
    return converted;
}

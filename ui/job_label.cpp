#include "ui/job_label.h"

#include "format/format_job.h"

#include <algorithm>

namespace {

// FAT keeps 11 bytes of the OEM code page.
constexpr std::size_t kFatLabelBytes = 11;
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

std::string Utf8(const std::wstring& text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(bytes, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

std::string Ansi(const std::wstring& text)
{
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(std::max(bytes, 1)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), bytes, nullptr, nullptr);
    ansi.resize(ansi.size() - 1);
    return ansi;
}

// Copies whole characters of text: a UTF-8 sequence is never cut.
void CopyWhole(const std::string& text, std::array<char, 64>& label)
{
    std::size_t length = std::min(text.size(), label.size() - 1);
    while (length > 0 && length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    std::fill(label.begin(), label.end(), '\0');
    std::copy_n(text.begin(), length, label.begin());
}

}  // namespace

std::wstring ReadTypedLabel(HWND dialog, int editId)
{
    wchar_t typed[16] = {};
    ::GetDlgItemTextW(dialog, editId, typed, static_cast<int>(std::size(typed)));
    return typed;
}

void StoreLabelForLibrary(const std::wstring& typed, std::array<char, 64>& label)
{
    // The page holds it: the bytes the library has always been handed.
    BOOL defaulted = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, typed.c_str(), -1, label.data(),
                                          static_cast<int>(label.size()), nullptr, &defaulted);
    if (bytes > 0 && !defaulted)
        return;
    CopyWhole(std::string(kUtf8LabelMark) + Utf8(typed), label);
}

std::optional<std::string> FatLabelNote(const std::wstring& typed)
{
    std::wstring upper = typed;
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    upper.erase(0, upper.find_first_not_of(L' '));
    bool replaced = false;
    std::size_t oemBytes = 0;
    std::wstring stored;
    for (std::size_t index = 0; index < upper.size();) {
        const int units = IS_HIGH_SURROGATE(upper[index]) && index + 1 < upper.size() ? 2 : 1;
        const std::optional<std::string> oem = OemCharacter(&upper[index], units);
        const std::size_t size = oem ? oem->size() : 1;
        if (oemBytes + size > kFatLabelBytes)
            break;
        oemBytes += size;
        replaced = replaced || !oem;
        stored += oem ? upper.substr(index, static_cast<std::size_t>(units)) : std::wstring(L"_");
        index += static_cast<std::size_t>(units);
    }
    if (!replaced)
        return std::nullopt;
    stored.erase(stored.find_last_not_of(L' ') + 1);
    return "The card's FAT file system cannot hold every character of the label. It will be stored as \"" +
           Ansi(stored) + "\".";
}

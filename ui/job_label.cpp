#include "ui/job_label.h"

#include "format/format_job.h"
#include "format/stored_label_win32.h"

#include <algorithm>

namespace {

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
    CopyWhole(std::string(kUtf8LabelMark) + CodePageText(typed, CP_UTF8), label);
}

std::optional<std::string> FatLabelNote(trellan::Builder builder, const std::wstring& typed)
{
    const LabelOnCard stored = LabelAsStored(builder, typed);
    if (!stored.replaced)
        return std::nullopt;
    return "The card's FAT file system cannot hold every character of the label. It will be stored as \"" +
           CodePageText(stored.text) + "\".";
}

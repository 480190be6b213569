// Disk.ini beside the program: the card type persists between runs, and the
// last label is recorded. Failures are silent: an unwritable file stays as it was.
#include "ui/veltrane_dlg.h"

#include <cstdio>
#include <string>

#include "platform/string_resource.h"
#include "platform/win_app.h"
#include "res/resource.h"
#include "ui/module_directory.h"

namespace {
constexpr wchar_t kDiskSection[] = L"Disk";
constexpr wchar_t kFormatSection[] = L"FORMAT";
constexpr wchar_t kCardTypeKey[] = L"CardType";
constexpr wchar_t kClearAllKey[] = L"ClearAll";
constexpr wchar_t kLabelKey[] = L"Label";
// A long path (\\?\ form) is at most this many UTF-16 units.
constexpr DWORD kLongestPath = 32768;
// Longer than any label a file system keeps (11 bytes on FAT, 11 units on exFAT).
constexpr int kLabelUnits = 64;

// Read through the wide call into a buffer that fits any path: a folder
// deeper than MAX_PATH or named outside the ANSI code page still gets its
// Disk.ini.
std::wstring GetModuleDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(AfxGetInstanceHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size() || path.size() >= kLongestPath) {
            path.resize(length);
            return ModuleDirectoryOf(std::wstring_view(path));
        }
        path.resize(path.size() * 2);
    }
}

std::wstring SettingsPath()
{
    return GetModuleDirectory() + L"\\Disk.ini";
}
}  // namespace

void CVeltraneDlg::ExchangeSettings(BOOL load)
{
    const std::wstring path = SettingsPath();
    if (load) {
        const int index = SettingsIndexFromStored(
            static_cast<int>(GetPrivateProfileIntW(kDiskSection, kCardTypeKey, 0, path.c_str())));
        if (const std::optional<CardType> stored = CardTypeFromIndex(index))
            CheckDlgButton(CardTypeRowOf(*stored)->radioId, BST_CHECKED);
        m_shownCardType = kShownCardTypeBase + index;
        // "ClearAll" and "Label" are kept for the file's other readers: no
        // control takes "ClearAll", and every run starts with the default label.
        SetDlgItemText(IDC_LABEL, LoadResourceString(IDS_DEFAULT_LABEL));
        return;
    }
    if (const std::optional<CardType> checked = CheckedCardType()) {
        const std::wstring index = std::to_wstring(SettingsIndexOf(*checked));
        WritePrivateProfileStringW(kDiskSection, kCardTypeKey, index.c_str(), path.c_str());
    }
    WritePrivateProfileStringW(kDiskSection, kClearAllKey, L"0", path.c_str());
    wchar_t label[kLabelUnits] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_LABEL, label, kLabelUnits);
    WritePrivateProfileStringW(kFormatSection, kLabelKey, label, path.c_str());
}

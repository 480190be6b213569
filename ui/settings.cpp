// Disk.ini beside the program: the card type persists between runs, and the
// last label is recorded. Failures are silent: an unwritable file stays as it was.
#include "ui/veltrane_dlg.h"

#include <cstdio>

#include "platform/string_resource.h"
#include "platform/win_app.h"
#include "res/resource.h"
#include "ui/module_directory.h"

namespace {
constexpr char kDiskSection[] = "Disk";
constexpr char kFormatSection[] = "FORMAT";
constexpr char kCardTypeKey[] = "CardType";
constexpr char kClearAllKey[] = "ClearAll";
constexpr char kLabelKey[] = "Label";

std::string GetModuleDirectory()
{
    char path[256] = {};
    GetModuleFileNameA(AfxGetInstanceHandle(), path, 255);
    return ModuleDirectoryOf(path);
}

std::string SettingsPath()
{
    return GetModuleDirectory() + "\\Disk.ini";
}
}  // namespace

void CVeltraneDlg::ExchangeSettings(BOOL load)
{
    const std::string path = SettingsPath();
    if (load) {
        const int index = SettingsIndexFromStored(
            static_cast<int>(GetPrivateProfileIntA(kDiskSection, kCardTypeKey, 0, path.c_str())));
        if (const std::optional<CardType> stored = CardTypeFromIndex(index))
            CheckDlgButton(CardTypeRowOf(*stored)->radioId, BST_CHECKED);
        m_shownCardType = kShownCardTypeBase + index;
        // "ClearAll" and "Label" are kept for the file's other readers: no
        // control takes "ClearAll", and every run starts with the default label.
        SetDlgItemText(IDC_LABEL, LoadResourceString(IDS_DEFAULT_LABEL));
        return;
    }
    if (const std::optional<CardType> checked = CheckedCardType()) {
        const std::string index = std::to_string(SettingsIndexOf(*checked));
        WritePrivateProfileStringA(kDiskSection, kCardTypeKey, index.c_str(), path.c_str());
    }
    WritePrivateProfileStringA(kDiskSection, kClearAllKey, "0", path.c_str());
    WritePrivateProfileStringA(kFormatSection, kLabelKey, GetDlgItemText(IDC_LABEL).c_str(), path.c_str());
}

// The size line and the Start button follow the selected reader: a new
// selection resets the view, the 2-second poll tracks the card coming and going.
#include "ui/veltrane_dlg.h"

#include "drives/capacity_text.h"
#include "drives/raw_volume_win32.h"
#include "platform/string_resource.h"
#include "res/resource.h"

void CVeltraneDlg::OnSelChangeDrive()
{
    QueryDriveSize(CapacityQuery::selectionChange);
}

void CVeltraneDlg::PollDriveSize()
{
    QueryDriveSize(CapacityQuery::poll);
}

std::optional<char> CVeltraneDlg::SelectedDriveLetter() const
{
    const int selected = m_cbDrive.GetCurSel();
    if (selected == CB_ERR || m_cbDrive.GetLBTextLen(selected) != 1)
        return std::nullopt;
    char entry[4] = {};
    if (m_cbDrive.GetLBText(selected, entry) == CB_ERR)
        return std::nullopt;
    return entry[0];
}

void CVeltraneDlg::QueryDriveSize(CapacityQuery query)
{
    const bool selectionChange = query == CapacityQuery::selectionChange;
    const std::optional<char> letter = m_cbDrive.GetCount() > 0 ? SelectedDriveLetter() : std::nullopt;
    CapacityView view = NoDriveCapacityView();
    if (letter) {
        Win32RawVolumeOpener volumes;
        const std::unique_ptr<RawVolume> volume = volumes.OpenRawVolume(*letter);
        const std::optional<DiskGeometry> geometry = volume ? volume->ReadGeometry() : std::nullopt;
        const std::optional<std::uint64_t> length = volume ? volume->LengthBytes() : std::nullopt;
        ShowSizeText(ClearedSizeText());
        view = DecideCapacityView(query, geometry, length);
    }
    if (selectionChange)
        UpdateCardPictures(view.cardActive);
    else
        RefreshCardPictures(view.cardActive);
    m_btnStart.EnableWindow(view.startButton.windowEnabled);
    m_btnStart.SetInactive(view.startButton.inactive);
    ShowSizeText(view.sizeText);
    if (selectionChange && letter)
        ResetFormatLabel();
}

void CVeltraneDlg::ShowSizeText(const std::string& text)
{
    // The line has no background of its own: hiding it first lets the skin
    // repaint under it, so no trace of a longer old text remains.
    CWnd sizeLine(GetDlgItem(IDC_DISK_SIZE));
    sizeLine.ShowWindow(SW_HIDE);
    sizeLine.SetWindowText(text);
    sizeLine.ShowWindow(SW_SHOW);
}

void CVeltraneDlg::ShowAskedCardSize(const FormatJobInputs& inputs)
{
    if (!inputs.driveLetter || !inputs.card)
        return;
    const std::optional<DiskGeometry> geometry = ReadDriveGeometry(*inputs.driveLetter);
    if (!geometry)
        return;
    const std::string text = CapacityText(ShownCapacityBytes(*geometry, inputs.card->lengthBytes));
    char shown[64] = {};
    ::GetDlgItemTextA(m_hWnd, IDC_DISK_SIZE, shown, static_cast<int>(sizeof shown));
    if (text != shown)
        ShowSizeText(text);
}

void CVeltraneDlg::ResetFormatLabel()
{
    SetDlgItemText(IDC_LABEL, LoadResourceString(IDS_DEFAULT_LABEL));
}

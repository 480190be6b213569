// The drive list: removable drives D: to Z:, less the devices the card
// library marks as never to be offered.
#include "ui/veltrane_dlg.h"

#include "trellan/trellan.h"

namespace {
// Low nibble of the probe's byte for the system's own disk.
constexpr unsigned char kNeverOffer = 0x0C;
}  // namespace

void CVeltraneDlg::ScanDrives()
{
    if (m_jobRunning)
        return;
    m_cbDrive.ResetContent();
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        const char root[] = {letter, ':', '\\', '\0'};
        if (GetDriveTypeA(root) != DRIVE_REMOVABLE)
            continue;
        unsigned char identity = 0;
        if (Trellan_ProbeDevice(letter, &identity) != 0 && (identity & 0x0F) == kNeverOffer)
            continue;
        m_cbDrive.AddString(std::string(1, letter));
    }
    if (m_cbDrive.GetCount() > 0)
        m_cbDrive.SetCurSel(0);
    OnSelChangeDrive();
}

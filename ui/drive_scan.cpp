// The drive list, filled afresh at start and on every device change.
#include "ui/veltrane_dlg.h"

#include "drives/offered_drives_win32.h"

void CVeltraneDlg::ScanDrives()
{
    if (m_formatThread != 0)
        return;
    m_cbDrive.ResetContent();
    for (char letter : OfferedDriveLetters())
        m_cbDrive.AddString(std::string(1, letter));
    if (m_cbDrive.GetCount() > 0)
        m_cbDrive.SetCurSel(0);
    OnSelChangeDrive();
}

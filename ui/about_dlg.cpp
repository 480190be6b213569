#include "ui/about_dlg.h"

#include <cstdio>

#include "platform/data_exchange.h"
#include "platform/string_resource.h"
#include "platform/version_info.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_VERSION_LINE, m_strVersion);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const std::optional<FileVersion> version = ModuleFileVersion();
    if (!version) {
        // Without a version there is nothing to show: close before being seen.
        EndDialog(IDCANCEL);
        return TRUE;
    }
    char number[32];
    std::snprintf(number, sizeof number, " %d.%d", version->major, version->minor);
    m_strVersion = "Veltrane  " + LoadResourceString(IDS_VERSION) + " : " + number;
    SetDlgItemText(IDC_NOTICE_LINE, LoadResourceString(IDS_NOTICE));
    UpdateData(FALSE);
    return TRUE;
}

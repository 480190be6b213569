// The About box: the program's version and a notice line.
#pragma once

#include <string>

#include "platform/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    std::string m_strVersion;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
};

// Dialog data exchange: binding controls to their class objects and moving
// values between members and controls, in the direction UpdateData asks.
#pragma once

#include <string>

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialog& m_dialog;
    const bool m_bSaveAndValidate;  // true: controls → members
};

// Subclasses control `id` onto `control` (once), so that its messages and
// the owner-draw and colour requests reflected to it reach its table.
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
void DDX_Text(CDataExchange& dx, int id, std::string& value);

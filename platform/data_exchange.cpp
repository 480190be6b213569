#include "platform/data_exchange.h"

#include "platform/dialog.h"

void DDX_Control(CDataExchange& dx, int id, CWnd& control)
{
    if (control.m_hWnd == nullptr)
        control.SubclassDlgItem(static_cast<UINT>(id), &dx.m_dialog);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value)
{
    if (dx.m_bSaveAndValidate)
        value = dx.m_dialog.GetDlgItemText(id);
    else
        dx.m_dialog.SetDlgItemText(id, value);
}

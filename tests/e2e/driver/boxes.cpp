#include "boxes.h"

#include "resource.h"
#include "target_process.h"

MessageBoxContents ReadMessageBox(HWND box)
{
    MessageBoxContents contents;
    contents.caption = WindowText(box);
    contents.text = WindowText(GetDlgItem(box, kMessageBoxTextId));
    for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
        if (HWND button = GetDlgItem(box, id); button != nullptr && IsWindowVisible(button)) {
            if (!contents.buttons.empty())
                contents.buttons += ',';
            contents.buttons += WindowText(button);
        }
    }
    return contents;
}

AboutBoxContents ReadAboutBox(HWND about)
{
    return {WindowText(about), WindowText(GetDlgItem(about, IDC_VERSION_LINE)),
            WindowText(GetDlgItem(about, IDC_NOTICE_LINE))};
}

bool PressBoxButton(HWND box, int buttonId)
{
    HWND button = GetDlgItem(box, buttonId);
    if (button == nullptr)
        return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return true;
}

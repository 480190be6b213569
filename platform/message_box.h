// Message boxes owned by the main window (or none, at start-up), with the
// application's name as caption.
#pragma once

#include <windows.h>

// OK boxes without an icon get the exclamation icon, Yes/No boxes the question mark.
int AfxMessageBox(const char* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

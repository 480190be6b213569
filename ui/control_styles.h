// Fonts and colours of the main dialog's captions and status lines.
#pragma once

#include <windows.h>

#include <string>

#include "platform/dc.h"
#include "ui/dialog_fonts.h"

// Styles the control's device context for its colour request: the hollow
// brush for the controls the dialog styles, nullptr for those that get the
// base handling. `text` is the control's current text (the result line's
// colour follows it).
HBRUSH StyleControl(CDC& dc, int controlId, UINT ctlType, const std::string& text, const DialogFonts& fonts);

// The colour request selects these fonts too, but some static controls
// select their own font after asking for colours; giving each control its
// font as well makes the result the same everywhere.
void ApplyControlFonts(HWND dialog, const DialogFonts& fonts);

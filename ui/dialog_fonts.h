// The three fonts of the main dialog's captions and status lines, made once
// for the dialog's life so that no paint makes or leaks a font.
#pragma once

#include "platform/gdi_object.h"

class DialogFonts {
public:
    void Create();

    // Each may be empty when the system could not make it.
    CFont m_caption;  // Arial 16, black weight
    CFont m_result;   // Arial 24, black weight
    CFont m_label;    // Arial 16, bold
};

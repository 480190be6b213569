// The pictures of the three strips and of the Start button. They are decoded
// at the dialog's first paint, before any of them is drawn: the first decode
// starts the platform's image codecs, under Wine a third of the time from
// launch to a visible dialog, and nothing before the first paint shows them.
#pragma once

#include "controls/gdip_button.h"

struct SkinImages {
    CGdipButton::Image strip;
    CGdipButton::Image startInactive;
    CGdipButton::Image startNormal;
    CGdipButton::Image startHover;
    CGdipButton::Image startPressed;
};

// GDI+ must be started.
SkinImages DecodeSkinImages();

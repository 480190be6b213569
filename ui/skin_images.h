// The pictures of the three strips and of the Start button, decoded on a
// thread of their own while the dialog is being created: the first decode
// starts the platform's image codecs, the longest step of OnInitDialog, and
// nothing before the dialog's first paint shows them.
#pragma once

#include <future>

#include "controls/gdip_button.h"

struct SkinImages {
    CGdipButton::Image strip;
    CGdipButton::Image startInactive;
    CGdipButton::Image startNormal;
    CGdipButton::Image startHover;
    CGdipButton::Image startPressed;
};

// Starts decoding (GDI+ must be started); get() waits for the pictures.
std::future<SkinImages> DecodeSkinImagesAhead();

#include "ui/dialog_fonts.h"

#include <cstring>

namespace {
LOGFONTA HeavyArial(LONG height)
{
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = 900;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::strcpy(font.lfFaceName, "Arial");
    return font;
}
}  // namespace

void DialogFonts::Create()
{
    const LOGFONTA caption = HeavyArial(16);
    const LOGFONTA result = HeavyArial(24);
    m_caption.CreateFontIndirect(&caption);
    m_result.CreateFontIndirect(&result);
    m_label.CreateFont(16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
}

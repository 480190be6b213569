#include "ui/dialog_layout.h"

#include "res/resource.h"

namespace {
// Each control by its id: x, y, width, height (0 x 0 keeps the template's size).
// clang-format off
constexpr ControlPlace kPlaces[] = {
    {IDC_START,              318, 355, 124, 39},
    {IDC_DRIVE_CAPTION,      40, 20, 100, 25},
    {IDC_DRIVE_LIST,         170, 20, 100, 150},  // height includes the drop-down
    {IDC_SIZE_CAPTION,       40, 50, 100, 25},
    {IDC_DISK_SIZE,          170, 50, 250, 25},
    {IDC_STRIP_TOP,          20, 80, 450, 10},
    {IDC_CARD_SD,            70, 90, 0, 0},
    {IDC_CARD_MMC,           200, 90, 0, 0},
    {IDC_CARD_CF,            320, 90, 0, 0},
    {IDC_SD_TEXT,            85, 87, 50, 25},
    {IDC_MMC_TEXT,           215, 87, 50, 25},
    {IDC_CF_TEXT,            335, 87, 50, 25},
    {IDC_PICTURE_SD,         70, 115, 0, 0},
    {IDC_PICTURE_MMC,        200, 115, 0, 0},
    {IDC_PICTURE_CF,         320, 115, 0, 0},
    {IDC_STRIP_MIDDLE,       20, 200, 450, 10},
    {IDC_LABEL_CAPTION,      40, 217, 100, 25},
    {IDC_LABEL,              170, 217, 150, 25},
    {IDC_OPTIMIZED_FORMAT,   40, 250, 0, 0},
    {IDC_OPTIMIZED_TEXT,     60, 248, 0, 0},
    {IDC_COMPLETE_FORMAT,    250, 250, 0, 0},
    {IDC_COMPLETE_TEXT,      270, 248, 0, 0},
    {IDC_STRIP_BOTTOM,       20, 280, 450, 10},
    {IDC_STATUS_RESULT,      60, 295, 100, 25},
    {IDC_STATUS_HINT,        190, 295, 200, 25},
    {IDC_PROGRESS,           60, 330, 330, 15},
};
// clang-format on
}  // namespace

std::span<const ControlPlace> MainDialogLayout()
{
    return kPlaces;
}

#include "ui/dialog_layout.h"

namespace {
constexpr ControlPlace kPlaces[] = {
    {1002, 318, 355, 124, 39},  // Start
    {1020, 40, 20, 100, 25},    // "Disk Drive"
    {1032, 170, 20, 100, 150},  // drive list (height includes the drop-down)
    {1021, 40, 50, 100, 25},    // "Disk Size"
    {1003, 170, 50, 250, 25},   // size line
    {1036, 20, 80, 450, 10},    // strip
    {1004, 70, 90, 0, 0},       // SD radio
    {1005, 200, 90, 0, 0},      // MMC radio
    {1006, 320, 90, 0, 0},      // CF radio
    {1026, 85, 87, 50, 25},     // "SD"
    {1027, 215, 87, 50, 25},    // "MMC"
    {1028, 335, 87, 50, 25},    // "CF"
    {1019, 70, 115, 0, 0},      // SD picture
    {1018, 200, 115, 0, 0},     // MMC picture
    {1017, 320, 115, 0, 0},     // CF picture
    {1037, 20, 200, 450, 10},   // strip
    {1016, 40, 217, 100, 25},   // "Format Label"
    {1007, 170, 217, 150, 25},  // label field
    {1034, 40, 250, 0, 0},      // Optimized Format box
    {1035, 60, 248, 0, 0},      // its caption
    {1031, 250, 250, 0, 0},     // Complete Format box
    {1033, 270, 248, 0, 0},     // its caption
    {1038, 20, 280, 450, 10},   // strip
    {1013, 60, 295, 100, 25},   // result line
    {1014, 190, 295, 200, 25},  // detail line
    {1009, 60, 330, 330, 15},   // progress bar
};
}  // namespace

std::span<const ControlPlace> MainDialogLayout()
{
    return kPlaces;
}

#include "ui/dialog_layout.h"

#include <array>

#include "cards/card_types.h"
#include "format/erase_modes.h"
#include "res/resource.h"

namespace {
// Each control by its id: x, y, width, height (0 x 0 keeps the template's size).
// clang-format off
constexpr ControlPlace kFixedPlaces[] = {
    {IDC_START,              318, 355, 124, 39},
    {IDC_DRIVE_CAPTION,      40, 20, 100, 25},
    {IDC_DRIVE_LIST,         170, 20, 100, 150},  // height includes the drop-down
    {IDC_SIZE_CAPTION,       40, 50, 100, 25},
    {IDC_DISK_SIZE,          170, 50, 250, 25},
    {IDC_STRIP_TOP,          20, 80, 450, 10},
    {IDC_STRIP_MIDDLE,       20, 200, 450, 10},
    {IDC_LABEL_CAPTION,      40, 217, 100, 25},
    {IDC_LABEL,              170, 217, 150, 25},
    {IDC_STRIP_BOTTOM,       20, 280, 450, 10},
    {IDC_STATUS_RESULT,      60, 295, 100, 25},
    {IDC_STATUS_HINT,        190, 295, 200, 25},
    {IDC_PROGRESS,           60, 330, 330, 15},
};
// clang-format on

// Each card type's column: its radio, the caption right of it, the picture below.
constexpr int kCardRadioTop = 90;
constexpr int kCardCaptionLeft = 15;
constexpr int kCardCaptionTop = 87;
constexpr int kCardCaptionWidth = 50;
constexpr int kCardCaptionHeight = 25;
constexpr int kCardPictureTop = 115;

// Each erase mode's column: its check box and the caption right of it.
constexpr int kEraseCheckBoxTop = 250;
constexpr int kEraseCaptionLeft = 20;
constexpr int kEraseCaptionTop = 248;

constexpr auto kPlaces = [] {
    std::array<ControlPlace, std::size(kFixedPlaces) + 3 * kCardTypeCount + 2 * kEraseModeCount> places{};
    size_t next = 0;
    for (const ControlPlace& place : kFixedPlaces)
        places[next++] = place;
    for (const CardTypeRow& row : kCardTypeRows) {
        const int x = row.columnPixels;
        places[next++] = {row.radioId, x, kCardRadioTop, 0, 0};
        places[next++] = {row.captionId, x + kCardCaptionLeft, kCardCaptionTop, kCardCaptionWidth, kCardCaptionHeight};
        places[next++] = {row.pictureId, x, kCardPictureTop, 0, 0};
    }
    for (const EraseModeRow& row : kEraseModeRows) {
        places[next++] = {row.checkBoxId, row.columnPixels, kEraseCheckBoxTop, 0, 0};
        places[next++] = {row.captionId, row.columnPixels + kEraseCaptionLeft, kEraseCaptionTop, 0, 0};
    }
    return places;
}();
}  // namespace

std::span<const ControlPlace> MainDialogLayout()
{
    return kPlaces;
}

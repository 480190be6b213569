// Which picture each card shows: the checked card's own picture lit while a
// card is in the reader, every other picture plain. Also the card type's
// other codings: the settings index and the shown-type code.
#pragma once

#include <array>
#include <optional>

#include "format/format_plan.h"

inline constexpr int kCardTypeCount = 3;
// The shown-type code the dialog keeps beside the radios: 7000 + index.
inline constexpr int kShownCardTypeBase = 7000;

// Bitmap resource ids of the SD, MMC and CF pictures, in that order.
using CardPictureIds = std::array<int, kCardTypeCount>;

CardPictureIds PicturesFor(CardType checked, bool cardPresent);

// Settings index 0 SD, 1 MMC, 2 CF; the same order as the radios' ids.
std::optional<CardType> CardTypeFromIndex(int index);
// The index a stored CardType value stands for: a negative one reads as SD.
int SettingsIndexFromStored(int stored);
int SettingsIndexOf(CardType card);

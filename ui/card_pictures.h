// Which picture each card shows: the checked card's own picture lit while a
// card is in the reader, every other picture plain. Also the shown-type code
// the dialog keeps beside the radios, and the stored settings value.
#pragma once

#include <array>

#include "cards/card_types.h"

// The shown-type code: 7000 + settings index.
inline constexpr int kShownCardTypeBase = 7000;

// Bitmap resource ids of the pictures, in the card-type table's order.
using CardPictureIds = std::array<int, kCardTypeCount>;

CardPictureIds PicturesFor(CardType checked, bool cardPresent);

// The index a stored CardType value stands for: one of no card type (a
// negative one, or one past the table) reads as SD.
int SettingsIndexFromStored(int stored);

#include "ui/card_pictures.h"

namespace {
// Each card has a plain bitmap and, one id higher, its active form.
constexpr CardPictureIds kPlain = {149, 147, 145};
constexpr CardType kByIndex[kCardTypeCount] = {CardType::sd, CardType::mmc, CardType::cf};
}  // namespace

CardPictureIds PicturesFor(CardType checked, bool cardPresent)
{
    CardPictureIds pictures = kPlain;
    if (cardPresent && checked != CardType::none)
        pictures[static_cast<size_t>(SettingsIndexOf(checked))] += 1;
    return pictures;
}

std::optional<CardType> CardTypeFromIndex(int index)
{
    if (index < 0 || index >= kCardTypeCount)
        return std::nullopt;
    return kByIndex[index];
}

int SettingsIndexFromStored(int stored)
{
    return stored < 0 ? 0 : stored;
}

int SettingsIndexOf(CardType card)
{
    for (int i = 0; i < kCardTypeCount; ++i) {
        if (kByIndex[i] == card)
            return i;
    }
    return -1;
}

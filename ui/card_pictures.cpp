#include "ui/card_pictures.h"

CardPictureIds PicturesFor(CardType checked, bool cardPresent)
{
    CardPictureIds pictures{};
    for (size_t i = 0; i < pictures.size(); ++i) {
        const CardTypeRow& row = CardTypes()[i];
        const bool lit = cardPresent && row.type == checked;
        pictures[i] = lit ? row.activeBitmapId : row.plainBitmapId;
    }
    return pictures;
}

int SettingsIndexFromStored(int stored)
{
    return CardTypeFromIndex(stored) ? stored : 0;
}

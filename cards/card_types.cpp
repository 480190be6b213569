#include "cards/card_types.h"

std::span<const CardTypeRow> CardTypes()
{
    return kCardTypeRows;
}

const CardTypeRow* CardTypeRowOf(CardType type)
{
    for (const CardTypeRow& row : kCardTypeRows) {
        if (row.type == type)
            return &row;
    }
    return nullptr;
}

const CardTypeRow* CardTypeRowOfRadio(int radioId)
{
    for (const CardTypeRow& row : kCardTypeRows) {
        if (row.radioId == radioId)
            return &row;
    }
    return nullptr;
}

bool IsCardRadio(unsigned controlId)
{
    return CardTypeRowOfRadio(static_cast<int>(controlId)) != nullptr;
}

std::optional<CardType> CardTypeNamed(std::string_view name)
{
    for (const CardTypeRow& row : kCardTypeRows) {
        if (row.name == name)
            return row.type;
    }
    return std::nullopt;
}

bool NeedsExFatWarning(CardType type)
{
    const CardTypeRow* row = CardTypeRowOf(type);
    return row != nullptr && row->builders[static_cast<size_t>(SizeClass::large)] == trellan::Builder::exfat;
}

int SettingsIndexOf(CardType card)
{
    const CardTypeRow* row = CardTypeRowOf(card);
    return row != nullptr ? static_cast<int>(row - kCardTypeRows.data()) : -1;
}

std::optional<CardType> CardTypeFromIndex(int index)
{
    if (index < 0 || index >= kCardTypeCount)
        return std::nullopt;
    return kCardTypeRows[static_cast<size_t>(index)].type;
}

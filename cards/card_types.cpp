#include "cards/card_types.h"

#include "cards/row_lookup.h"

std::span<const CardTypeRow> CardTypes()
{
    return kCardTypeRows;
}

const CardTypeRow* CardTypeRowOf(CardType type)
{
    return RowWhere(kCardTypeRows, &CardTypeRow::type, type);
}

const CardTypeRow* CardTypeRowOfRadio(int radioId)
{
    return RowWhere(kCardTypeRows, &CardTypeRow::radioId, radioId);
}

std::optional<CardType> CardTypeNamed(std::string_view name)
{
    const CardTypeRow* row = RowWhere(kCardTypeRows, &CardTypeRow::name, name);
    return row != nullptr ? std::optional(row->type) : std::nullopt;
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

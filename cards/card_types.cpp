#include "cards/card_types.h"

#include "res/resource.h"

namespace {

using trellan::Builder;

constexpr std::array<CardTypeRow, kCardTypeCount> kRows = {{
    {CardType::sd,
     "sd",
     "SD",
     IDC_CARD_SD,
     IDC_PICTURE_SD,
     IDB_SD_PLAIN,
     IDB_SD_ACTIVE,
     {Builder::sd, Builder::fat32, Builder::exfat}},
    {CardType::mmc,
     "mmc",
     "MMC",
     IDC_CARD_MMC,
     IDC_PICTURE_MMC,
     IDB_MMC_PLAIN,
     IDB_MMC_ACTIVE,
     {Builder::mmc, Builder::fat32, Builder::mmc}},
    {CardType::cf,
     "cf",
     "CF",
     IDC_CARD_CF,
     IDC_PICTURE_CF,
     IDB_CF_PLAIN,
     IDB_CF_ACTIVE,
     {Builder::cf, Builder::cf, Builder::cf}},
}};

}  // namespace

std::span<const CardTypeRow> CardTypes()
{
    return kRows;
}

const CardTypeRow* CardTypeRowOf(CardType type)
{
    for (const CardTypeRow& row : kRows) {
        if (row.type == type)
            return &row;
    }
    return nullptr;
}

std::optional<CardType> CardTypeNamed(std::string_view name)
{
    for (const CardTypeRow& row : kRows) {
        if (row.name == name)
            return row.type;
    }
    return std::nullopt;
}

int SettingsIndexOf(CardType card)
{
    const CardTypeRow* row = CardTypeRowOf(card);
    return row != nullptr ? static_cast<int>(row - kRows.data()) : -1;
}

std::optional<CardType> CardTypeFromIndex(int index)
{
    if (index < 0 || index >= kCardTypeCount)
        return std::nullopt;
    return kRows[static_cast<size_t>(index)].type;
}

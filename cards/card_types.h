// Everything that differs between the card types, one row per card: how the
// dialog shows, places, styles and reads it, what the command line calls it,
// and which builder formats it at each size. A new card type is a new row
// here, its art, its resource ids and its tests.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "res/resource.h"
#include "trellan/builder.h"

enum class CardType { none, sd, mmc, cf };
enum class SizeClass { small, mid, large };

struct CardTypeRow {
    CardType type;
    std::string_view name;   // on the command line: "sd"
    std::string_view title;  // for people: "SD"
    int radioId;             // the radio that chooses it
    int captionId;           // the radio's caption
    int pictureId;           // the picture control that shows it
    int plainBitmapId;       // its picture without a card in the reader
    int activeBitmapId;      // its picture with a card in the reader
    int columnPixels;        // the dialog column of its radio, caption and picture
    // The job reads the radios by this rank, 0 first: the first checked wins.
    int radioReadRank;
    // The builder for a card of each size class, by SizeClass.
    std::array<trellan::Builder, 3> builders;
    // Its line in --help's table of builders per size class (small, mid, large).
    std::string_view sizesHelp;
};

inline constexpr int kCardTypeCount = 3;

// In settings order: a row's position is the "CardType" value stored for it.
// clang-format off
inline constexpr std::array<CardTypeRow, kCardTypeCount> kCardTypeRows = {{
    {CardType::sd, "sd", "SD", IDC_CARD_SD, IDC_SD_TEXT, IDC_PICTURE_SD, IDB_SD_PLAIN, IDB_SD_ACTIVE, 70, 1,
     {trellan::Builder::sd, trellan::Builder::fat32, trellan::Builder::exfat},
     "SD: FAT12 or FAT16    FAT32 (4 MiB start,   exFAT\n"
     "                      32 KiB clusters)"},
    {CardType::mmc, "mmc", "MMC", IDC_CARD_MMC, IDC_MMC_TEXT, IDC_PICTURE_MMC, IDB_MMC_PLAIN, IDB_MMC_ACTIVE, 200, 2,
     {trellan::Builder::mmc, trellan::Builder::fat32, trellan::Builder::mmc},
     "MMC: FAT12 or FAT16   FAT32 (as for sd)     MMC: FAT32"},
    {CardType::cf, "cf", "CF", IDC_CARD_CF, IDC_CF_TEXT, IDC_PICTURE_CF, IDB_CF_PLAIN, IDB_CF_ACTIVE, 320, 0,
     {trellan::Builder::cf, trellan::Builder::cf, trellan::Builder::cf},
     "CF: hard-disk layout, partition on the second track, FAT12 or\n"
     "FAT16 up to 2 GiB and FAT32 above, at every size"},
}};
// clang-format on

std::span<const CardTypeRow> CardTypes();

const CardTypeRow* CardTypeRowOf(CardType type);
const CardTypeRow* CardTypeRowOfRadio(int radioId);
std::optional<CardType> CardTypeNamed(std::string_view name);

// The card type of the first checked radio in the job's read order; none
// when no radio is checked.
template <class IsChecked>
CardType CardTypeFromRadios(IsChecked isChecked)
{
    for (int rank = 0; rank < kCardTypeCount; ++rank) {
        for (const CardTypeRow& row : kCardTypeRows) {
            if (row.radioReadRank == rank && isChecked(row.radioId))
                return row.type;
        }
    }
    return CardType::none;
}

// Only a card whose large class is exFAT needs the system to read exFAT.
bool NeedsExFatWarning(CardType type);

// The settings index: the row's position, -1 for none.
int SettingsIndexOf(CardType card);
std::optional<CardType> CardTypeFromIndex(int index);

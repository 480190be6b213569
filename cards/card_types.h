// Everything that differs between the card types, one row per card: how the
// dialog shows and stores it, what the command line calls it, and which
// builder formats it at each size. A new card type is a new row here, its
// art and its tests.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "trellan/builder.h"

enum class CardType { none, sd, mmc, cf };
enum class SizeClass { small, mid, large };

struct CardTypeRow {
    CardType type;
    std::string_view name;   // on the command line: "sd"
    std::string_view title;  // for people: "SD"
    int radioId;             // the radio that chooses it
    int pictureId;           // the picture control that shows it
    int plainBitmapId;       // its picture without a card in the reader
    int activeBitmapId;      // its picture with a card in the reader
    // The builder for a card of each size class, by SizeClass.
    std::array<trellan::Builder, 3> builders;
};

// In settings order: a row's position is the "CardType" value stored for it.
std::span<const CardTypeRow> CardTypes();

inline constexpr int kCardTypeCount = 3;

const CardTypeRow* CardTypeRowOf(CardType type);
std::optional<CardType> CardTypeNamed(std::string_view name);

// The settings index: the row's position, -1 for none.
int SettingsIndexOf(CardType card);
std::optional<CardType> CardTypeFromIndex(int index);

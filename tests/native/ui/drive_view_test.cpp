#include <gtest/gtest.h>

#include "ui/card_pictures.h"
#include "ui/module_directory.h"

namespace {

TEST(CardPictures, OnlyThePresentCheckedCardIsLit)
{
    struct Case {
        CardType checked;
        bool present;
        CardPictureIds ids;
    };
    const Case cases[] = {
        {CardType::sd, true, {150, 147, 145}},  {CardType::sd, false, {149, 147, 145}},
        {CardType::mmc, true, {149, 148, 145}}, {CardType::mmc, false, {149, 147, 145}},
        {CardType::cf, true, {149, 147, 146}},  {CardType::cf, false, {149, 147, 145}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PicturesFor(c.checked, c.present), c.ids) << static_cast<int>(c.checked) << c.present;
}

TEST(CardPictures, NoCheckedCardLightsNothing)
{
    EXPECT_EQ(PicturesFor(CardType::none, true), (CardPictureIds{149, 147, 145}));
}

TEST(CardPictures, OnlyTheThreeSettingsIndexesNameACard)
{
    EXPECT_EQ(SettingsIndexOf(CardType::mmc), 1);
    EXPECT_EQ(CardTypeFromIndex(0), CardType::sd);
    EXPECT_EQ(CardTypeFromIndex(2), CardType::cf);
    EXPECT_FALSE(CardTypeFromIndex(3).has_value());
    EXPECT_FALSE(CardTypeFromIndex(7).has_value());
    EXPECT_FALSE(CardTypeFromIndex(-1).has_value());
}

TEST(CardPictures, AStoredCardTypeOutsideTheTableReadsAsSd)
{
    const struct {
        int stored;
        std::optional<CardType> card;
    } cases[] = {{-1, CardType::sd}, {-2147483647 - 1, CardType::sd},
                 {0, CardType::sd},  {1, CardType::mmc},
                 {2, CardType::cf},  {3, CardType::sd},
                 {99, CardType::sd}, {2147483647, CardType::sd}};
    for (const auto& c : cases)
        EXPECT_EQ(CardTypeFromIndex(SettingsIndexFromStored(c.stored)), c.card) << c.stored;
}

TEST(ModuleDirectory, SettingsFileSitsBesideTheProgram)
{
    EXPECT_EQ(ModuleDirectoryOf("C:\\Tools\\Veltrane.exe"), "C:\\Tools");
    EXPECT_EQ(ModuleDirectoryOf("C:\\Veltrane.exe"), "C:");
    EXPECT_EQ(ModuleDirectoryOf("\\\\server\\share\\Veltrane.exe"), "\\\\server\\share");
    EXPECT_EQ(ModuleDirectoryOf("\\Veltrane.exe"), "");
    EXPECT_EQ(ModuleDirectoryOf("Veltrane.exe"), "");
}

}  // namespace

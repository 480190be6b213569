#include "trellan/volume_label.h"

#include <gtest/gtest.h>

namespace trellan {
namespace {

TEST(VolumeLabel, Utf8IsReadAsCharactersAndMalformedBytesAreMarked)
{
    const struct {
        std::string_view utf8;
        std::u16string_view utf16;
    } rows[] = {
        {"", u""},
        {"Caf\xC3\xA9", u"Caf\u00e9"},
        {"\xCE\xB1\xCE\xB2", u"\u03b1\u03b2"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", u"\u65e5\u672c"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},      // a surrogate pair
        {"A\xC3", u"A\uFFFD"},                    // cut in the middle of a character
        {"\xC3(", u"\uFFFD("},                    // a lead byte without its continuation
        {"\x80", u"\uFFFD"},                      // a lone continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},            // an overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xE9t\xE9", u"\uFFFDt\uFFFD"},          // Latin-1 is not UTF-8
    };
    for (const auto& row : rows) {
        EXPECT_EQ(utf16_from_utf8(row.utf8), row.utf16) << row.utf8;
    }
}

TEST(VolumeLabel, FatGetsUpperCaseInTheOemCodePage)
{
    const struct {
        std::u16string_view text;
        OemCodePage page;
        std::string_view oem;
    } rows[] = {
        {u"camera 1", OemCodePage::cp850, "CAMERA 1"},
        {u"Caf\u00e9", OemCodePage::cp850, "CAF\x90"},  // É is 90h in both pages
        {u"Caf\u00e9", OemCodePage::cp437, "CAF\x90"},
        {u"\u00e5\u00f8", OemCodePage::cp850, "\x8F\x9D"},  // ÅØ
        {u"\u00e5\u00f8", OemCodePage::cp437, "\x8F_"},     // 437 has no Ø
        {u"\u00e3", OemCodePage::cp850, "\xC7"},            // Ã only in 850
        {u"\u00e3", OemCodePage::cp437, "_"},
        {u"\u03b1\u03c3", OemCodePage::cp437, "_\xE4"},  // ΑΣ: 437 holds Σ, not Α
        {u"\u03b1\u03c3", OemCodePage::cp850, "__"},
        {u"\u65e5\u672c", OemCodePage::cp850, "__"},
        {u"x\U0001F600y", OemCodePage::cp850, "X_Y"},  // a pair is one character
        {u"\u00df", OemCodePage::cp850, "\xE1"},       // ß has no one-character capital
        {u"\u00ff", OemCodePage::cp850, "_"},          // Ÿ is in neither page
    };
    for (const auto& row : rows) {
        EXPECT_EQ(fat_oem_label(row.text, row.page), row.oem) << static_cast<unsigned>(row.page);
    }
}

TEST(VolumeLabel, OnlyTheCodePagesCarriedAreOffered)
{
    EXPECT_EQ(oem_code_page(850), OemCodePage::cp850);
    EXPECT_EQ(oem_code_page(437), OemCodePage::cp437);
    for (const unsigned number : {0u, 1252u, 852u, 932u, 65001u}) {
        EXPECT_FALSE(oem_code_page(number)) << number;
    }
}

}  // namespace
}  // namespace trellan

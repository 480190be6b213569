#include "trellan/exfat_label.h"

#include <gtest/gtest.h>

namespace trellan {
namespace {

TEST(ExfatLabel, KeepsWhatExfatHoldsAndReplacesTheRest)
{
    const struct {
        std::u16string_view given;
        std::u16string_view stored;
    } rows[] = {
        {u"", u""},
        {u"Camera", u"Camera"},                // case kept
        {u"my card", u"my card"},              // spaces are fine
        {u"ABCDEFGHIJK", u"ABCDEFGHIJK"},      // exactly 11
        {u"ABCDEFGHIJKLMNO", u"ABCDEFGHIJK"},  // cut after 11 units
        {u"a\"b*c/d:e", u"a_b_c_d_e"},
        {u"<>?\\|", u"_____"},
        {u"tab\there", u"tab_here"},
        {std::u16string_view(u"x\0y", 3), u"x_y"},
        {u"\u00e9t\u00e9 \u65e5\u672c", u"\u00e9t\u00e9 \u65e5\u672c"},  // non-ASCII kept
        {u"ABCDEFGHIJ\U0001F600", u"ABCDEFGHIJ"},                        // no half of a surrogate pair
        {u"ABCDEFGHI\U0001F600", u"ABCDEFGHI\U0001F600"},
        {u"+,.;=[]", u"+,.;=[]"},            // legal in exFAT names
        {u"   ", u""},                       // all blanks: no label, as on FAT
        {u" Trip  ", u" Trip"},              // trailing blanks dropped
        {u"ABCDEFGHIJ KLM", u"ABCDEFGHIJ"},  // and those the cut leaves at the end
    };
    for (const auto& row : rows) {
        EXPECT_EQ(exfat_volume_label(row.given), row.stored);
    }
}

}  // namespace
}  // namespace trellan

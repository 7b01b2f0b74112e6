// The one UTF codec: round trips, and broken or overlong input replaced
// rather than passed through.
#include "model/Utf.h"

#include <gtest/gtest.h>

TEST(Utf, roundTripsAndReplacesBrokenSequences) {
    const std::string text = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(model::utf8(model::utf16(text)), text);
    EXPECT_EQ(model::utf16("a\xFF"
                           "b"),
        u"a\uFFFDb");
    EXPECT_EQ(model::utf16("\xE2\x82"), u"\uFFFD\uFFFD");
    EXPECT_EQ(model::utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Utf, refusesOverlongForms) {
    // "/" and NUL dressed in more bytes than they need must not pass for them.
    EXPECT_EQ(model::utf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(model::utf16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(model::utf16("\xF0\x8F\xBF\xBF"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    // The shortest forms at each boundary still decode.
    EXPECT_EQ(model::utf16("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"), u"\u0080\u0800\U00010000");
}

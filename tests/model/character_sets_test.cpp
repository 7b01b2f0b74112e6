// The character sets: what each shows, and the committed code-page tables
// checked against the system's own converter, which they were made from.
#include "model/CharacterSets.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <array>
#include <utility>

using namespace model;

TEST(CodePages, eachShowsItsOwnRepertoireAndAQuestionMarkForTheRest) {
    EXPECT_EQ(mapToCharacterSet(u"\u00e9\u20ac\u00df\u2591", 437), U"\u00e9?\u00df\u2591");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u00d8\u2591", 858), U"\u20ac\u00d8\u2591");
    EXPECT_EQ(mapToCharacterSet(u"\u00d8\u20ac", 850), U"\u00d8?");
    EXPECT_EQ(mapToCharacterSet(u"\u0142\u00e9\u00e8", 852), U"\u0142\u00e9?");
    EXPECT_EQ(mapToCharacterSet(u"\u0416\u00e9", 866), U"\u0416?");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u2591\u0178", 1252), U"\u20ac?\u0178");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u2591", charSetAnsi), U"\u20ac?");
    EXPECT_EQ(mapToCharacterSet(u"A~\u00e9\u007f", charSetAscii), U"A~??");
    EXPECT_EQ(mapToCharacterSet(u"\u2591\U0001F600", charSetUnicode), U"\u2591\U0001F600");
    EXPECT_TRUE(knownCharacterSet(866));
    EXPECT_FALSE(knownCharacterSet(12345));
}

TEST(CodePages, bytesAndCharactersMatchTheSystemsConverter) {
    const std::array<std::pair<std::int32_t, const char*>, 6> pages{{{437, "IBM437"}, {850, "IBM850"},
        {852, "IBM852"}, {858, "IBM858"}, {866, "IBM866"}, {1252, "CP1252"}}};
    for (const auto& [set, name] : pages) {
        iconv_t cd = iconv_open("UTF-32LE", name);
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;  // NOLINT(performance-no-int-to-ptr)
        for (int byte = 0x20; byte <= 0xFF; ++byte) {
            char in = static_cast<char>(byte);
            char* inPtr = &in;
            std::size_t inLeft = 1;
            std::array<unsigned char, 8> out{};
            char* outPtr = reinterpret_cast<char*>(out.data());
            std::size_t outLeft = out.size();
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool decoded =
                iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                outLeft == out.size() - 4;
            char32_t cp = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
            if (!decoded || cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) cp = U'?';
            EXPECT_EQ(fromCodePage(static_cast<unsigned char>(byte), set), cp) << name << " byte " << byte;
            if (cp != U'?') {
                EXPECT_EQ(toCodePage(std::u32string(1, cp), set), std::string(1, in))
                    << name << " byte " << byte;
            }
        }
        iconv_close(cd);
    }
}

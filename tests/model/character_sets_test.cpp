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

namespace {

// What the system's converter makes of one byte: its character, or '?' for
// a byte it leaves unassigned or decodes to a control character.
char32_t decode(const char* name, unsigned char byte) {
    iconv_t cd = iconv_open("UTF-32LE", name);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << name;  // NOLINT(performance-no-int-to-ptr)
    char in = static_cast<char>(byte);
    char* inPtr = &in;
    std::size_t inLeft = 1;
    std::array<unsigned char, 8> out{};
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    const bool decoded = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
                         outLeft == out.size() - 4;
    iconv_close(cd);
    const char32_t cp = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
    return !decoded || cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) ? U'?' : cp;
}

}  // namespace

TEST(CodePages, bytesAndCharactersMatchTheSystemsConverter) {
    const std::pair<std::int32_t, const char*> pages[] = {{437, "IBM437"}, {737, "CP737"}, {850, "IBM850"},
        {852, "IBM852"}, {857, "IBM857"}, {858, "IBM858"}, {860, "IBM860"}, {863, "IBM863"}, {865, "IBM865"},
        {866, "IBM866"}, {1250, "CP1250"}, {1251, "CP1251"}, {1252, "CP1252"}, {1253, "CP1253"},
        {1254, "CP1254"}, {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28595, "ISO-8859-5"},
        {28597, "ISO-8859-7"}, {28599, "ISO-8859-9"}, {28605, "ISO-8859-15"}};
    for (const auto& [set, name] : pages) {
        for (int byte = 0x20; byte <= 0xFF; ++byte) {
            const auto b = static_cast<unsigned char>(byte);
            const char32_t cp = decode(name, b);
            EXPECT_EQ(fromCodePage(b, set), cp) << name << " byte " << byte;
            if (cp != U'?') {
                EXPECT_EQ(toCodePage(std::u32string(1, cp), set), std::string(1, static_cast<char>(b)))
                    << name << " byte " << byte;
            }
        }
    }
}

TEST(NationalSets, thoseOfANationalStandardMatchTheSystemsConverter) {
    const std::pair<std::size_t, const char*> national[] = {
        {2, "ISO646-DE"}, {5, "ISO646-SE2"}, {13, "ISO646-KR"}, {14, "ISO646-YU"}};
    for (const auto& [index, name] : national) {
        for (unsigned b = 0x20; b < 0x7F; ++b) {
            EXPECT_EQ(characterAt(static_cast<unsigned char>(b), 437, index),
                decode(name, static_cast<unsigned char>(b)))
                << name << " byte " << b;
        }
    }
    EXPECT_EQ(nationalSets()[0].name, "USA");
    EXPECT_EQ(characterAt('@', 437, 0), U'@');
}

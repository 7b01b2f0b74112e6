// The display's receiver: what a real one makes of a sender set otherwise,
// worked out bit by bit, and the same however the bytes are split.
#include "emulator/Line.h"
#include "emulator/Hidden.h"

#include <gtest/gtest.h>

#include <set>

using namespace std::string_literals;
using model::LineSettings;
using model::Parity;

namespace {

LineSettings at(std::int32_t baud, Parity parity = Parity::none) { return {.baud = baud, .parity = parity}; }

// What the display receives for these bytes followed by a rest.
std::string thenRest(emulator::Line& line, std::string_view bytes, const LineSettings& sender) {
    std::string received = line.receive(bytes, sender);
    return received + line.idle();
}

}  // namespace

TEST(Line, senderAndDisplaySetAlikePassEveryByte) {
    emulator::Line line(at(9600, Parity::odd));
    const std::string all = [] {
        std::string bytes;
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
        return bytes;
    }();
    EXPECT_EQ(line.receive(all, {.baud = 9600, .parity = Parity::odd, .stopBits = 2}), all);
    EXPECT_FALSE(line.mismatched(at(9600, Parity::odd)));
    EXPECT_EQ(line.lost() + line.replaced(), 0u);
}

TEST(Line, wrongParityLosesOrReplacesCharactersAsAReceiverDoes) {
    // An odd-parity sender into an 8N1 display: the parity bit lands where the
    // stop bit belongs, so characters whose parity bit is 0 (an odd number of
    // ones: "7" is 00110111) are lost, the rest arrive whole.
    emulator::Line plain(at(9600));
    EXPECT_EQ(plain.receive("K7K7", at(9600, Parity::odd)), "KK");
    EXPECT_EQ(plain.lost(), 2u);
    // An 8N1 sender into an odd-parity display, one character at a time: the
    // stop bit is read as the parity bit, so characters with an odd number of
    // ones get a parity error and show as '?'.
    emulator::Line odd(at(9600, Parity::odd));
    EXPECT_EQ(thenRest(odd, "K", at(9600)), "K");
    EXPECT_EQ(thenRest(odd, "7", at(9600)), "?");
    EXPECT_EQ(odd.replaced(), 1u);
    // Back to back, the next start bit is read as the stop bit: a framing
    // error; the receiver then starts on an edge inside the next character
    // and reads A9 and 6A, both lost the same way, and finally FF, from the
    // last character's end and the idle line (worked out by hand).
    emulator::Line busy(at(9600, Parity::odd));
    EXPECT_EQ(thenRest(busy, "KKKK", at(9600)), "\xFF"s);
    EXPECT_EQ(busy.lost(), 3u);
}

TEST(Line, wrongSpeedGarblesCharactersWorkedOutBitByBit) {
    // 4800 into 9600: a sender bit is two receiver bits. FF is a start bit
    // (two receiver bits low) and ones: the receiver takes the start bit's
    // second half as bit 0, so it reads FE. 00 is nine sender bits low: the
    // stop bit is read low, a framing error, and the character is lost.
    emulator::Line line(at(9600));
    EXPECT_EQ(thenRest(line, "\xFF"s, at(4800)), "\xFE"s);
    EXPECT_EQ(thenRest(line, "\x00"s, at(4800)), "");
    EXPECT_EQ(line.lost(), 1u);
    // A much slower sender gives nothing but framing errors.
    emulator::Line fast(at(115200));
    EXPECT_EQ(thenRest(fast, "Hello", at(1200)), "");
}

TEST(Line, theOutcomeIsTheSameHoweverTheBytesArriveInPieces) {
    const std::string text = "\x1B\x40Total 12.50\x1F\x24\x05\x02Thank you!"s;
    for (const std::int32_t displayBaud : model::standardSpeeds) {
        for (const std::int32_t senderBaud : {1200, 9600, 19200, 57600}) {
            for (const Parity parity : {Parity::none, Parity::odd}) {
                emulator::Line whole(at(displayBaud, parity));
                const std::string expected = thenRest(whole, text, at(senderBaud));
                for (std::size_t piece = 1; piece <= 5; ++piece) {
                    emulator::Line split(at(displayBaud, parity));
                    std::string got;
                    for (std::size_t i = 0; i < text.size(); i += piece)
                        got += split.receive(text.substr(i, piece), at(senderBaud));
                    got += split.idle();
                    EXPECT_EQ(got, expected)
                        << senderBaud << " into " << displayBaud << " in pieces of " << piece;
                }
            }
        }
    }
}

TEST(Line, hiddenSettingsCoverEverySpeedParityAndSetAndRepeatForASeed) {
    std::set<std::int32_t> speeds;
    std::set<Parity> parities;
    std::set<std::string_view> sets;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        const emulator::Hidden hidden = emulator::drawHidden(seed);
        EXPECT_EQ(hidden.line, emulator::drawHidden(seed).line);
        speeds.insert(hidden.line.baud);
        parities.insert(hidden.line.parity);
        sets.insert(hidden.commandSet->name);
    }
    EXPECT_EQ(speeds.size(), model::standardSpeeds.size());
    EXPECT_EQ(parities.size(), 2u);
    EXPECT_EQ(sets.size(), model::commandSets().size());
}

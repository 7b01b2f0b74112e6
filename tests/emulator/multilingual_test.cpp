// Every language on every display: short sentences in sixteen languages and
// prices in euro, pound and yen, written in Unicode through the control
// object to a serial display of every command set on a real pseudo-terminal
// and read back by the virtual display, and to every simulated profile.
// What the glass shows is checked against the sentence character by
// character: what the display's pages, national sets or user characters show
// must be there as itself, everything else as the replacement its trace line
// names; and the virtual display must show the glass with 0 wrong cells (a
// user character counts when its dots are the font's for the character).
#include "device/DeviceTesting.h"
#include "device/SimulatedDisplay.h"
#include "emulator/VirtualDisplay.h"
#include "lettering/Font.h"
#include "model/CharacterPlanner.h"
#include "model/CharacterSets.h"
#include "model/Utf.h"
#include "serial/PtyTesting.h"
#include "serial/ScreenWriter.h"
#include "serial/SerialDisplay.h"
#include "serial/UserCharacterLoader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <regex>
#include <sstream>
#include <utility>

using namespace display;
using namespace devicetest;
using serialtest::TempDir;

namespace {

struct Sentence {
    const char* language;
    std::u16string text;
};

// At most 40 characters each, so that a sentence fits a 2x20 display.
const std::vector<Sentence>& sentences() {
    static const std::vector<Sentence> all{
        {"German", u"Grüße aus Köln, Straße"},
        {"French", u"Crème brûlée, garçon, où?"},
        {"Spanish", u"¿Dónde está el baño, señor?"},
        {"Portuguese", u"Não, obrigação às três"},
        {"Italian", u"Perché è già là? Città"},
        {"Dutch", u"Één ijsje, graag! Café"},
        {"Danish", u"Rødgrød med fløde, æble"},
        {"Norwegian", u"Blåbærsyltetøy på brød"},
        {"Swedish", u"Räksmörgås, tack! Åre"},
        {"Finnish", u"Hyvää päivää, työ"},
        {"Polish", u"Zażółć gęślą jaźń"},
        {"Czech", u"Příliš žluťoučký kůň"},
        {"Hungarian", u"Árvíztűrő tükörfúrógép"},
        {"Turkish", u"Güle güle, İstanbul ığş"},
        {"Russian", u"Съешь же ещё этих булок"},
        {"Greek", u"Καλημέρα, ευχαριστώ"},
        {"prices", u"€12,50 £9.99 ¥1200"},
    };
    return all;
}

// A replacement as the trace tells it.
struct Traced {
    std::u32string characters;
    std::u32string shown;
    std::string kind;
};

// The text of a string literal as the trace writes it, between its quotes.
std::u32string unquoted(const std::string& literal) {
    std::string utf8;
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] != '\\') {
            utf8 += literal[i];
            continue;
        }
        const char e = literal[++i];
        if (e == 'x' || e == 'u') {
            const std::size_t from = i + (e == 'u' ? 2 : 1);
            const std::size_t to = e == 'u' ? literal.find('}', from) : from + 2;
            model::appendUtf8(
                utf8, static_cast<char32_t>(std::stoul(literal.substr(from, to - from), nullptr, 16)));
            i = e == 'u' ? to : to - 1;
        } else {
            utf8 += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
    }
    return model::codePoints(model::utf16(utf8));
}

// The fallback lines of a trace file from a line on.
std::vector<Traced> fallbacksIn(const std::string& path, std::size_t& linesRead) {
    std::ifstream in(path);
    std::vector<Traced> found;
    static const std::regex fallback(
        R"re(fallback [^"]*"((?:[^"\\]|\\.)*)" -> "((?:[^"\\]|\\.)*)" \(([a-z]+(?: [a-z]+)*)(?: [0-9A-F]{2})?\)$)re");
    std::string line;
    for (std::size_t n = 0; std::getline(in, line); ++n) {
        if (n < linesRead) continue;
        linesRead = n + 1;
        std::smatch m;
        if (std::regex_search(line, m, fallback)) found.push_back({unquoted(m[1]), unquoted(m[2]), m[3]});
    }
    return found;
}

// What one display can show: through its pages and national sets, and as
// user characters (the font's glyphs), as many different ones in a text as
// it holds.
struct Repertoire {
    std::function<bool(char32_t)> pages;
    std::int32_t userCharacters = 0;
    bool drawn(char32_t c) const {
        const auto g = lettering::Font::standard().glyph(c);
        return g && *g != lettering::Glyph{};
    }
    // The characters of a text that the display shows as user characters.
    std::u32string asUser(std::u32string_view text) const {
        std::u32string chosen;
        for (const char32_t c : text) {
            if (std::cmp_less(chosen.size(), userCharacters) && !pages(c) && drawn(c) &&
                chosen.find(c) == std::u32string::npos)
                chosen += c;
        }
        return chosen;
    }
};

// Walks a sentence along what the glass shows (row by row) and counts the
// cells that are not what they should be: a character the display shows as
// itself, or the replacement a trace line names for it. Reports each.
std::size_t wrongCells(const std::u32string& sentence, const std::u32string& glass,
    const std::vector<Traced>& traced, const Repertoire& shows, const std::string& where) {
    std::size_t wrong = 0;
    std::size_t i = 0, j = 0;
    const std::u32string user = shows.asUser(sentence);
    const auto expect = [&](char32_t want, const char* why) {
        if (j >= glass.size() || glass[j] != want) {
            ++wrong;
            ADD_FAILURE() << where << ": cell " << j << " should show U+" << std::hex
                          << static_cast<unsigned>(want) << std::dec << " (" << why << ")";
        }
        ++j;
    };
    while (i < sentence.size()) {
        const char32_t c = sentence[i];
        if (shows.pages(c)) {
            expect(c, "on a page");
            ++i;
            continue;
        }
        // A replacement the trace names, starting here.
        const auto named = std::ranges::find_if(traced, [&](const Traced& t) {
            return t.kind != "user character" && sentence.compare(i, t.characters.size(), t.characters) == 0;
        });
        if (user.find(c) != std::u32string::npos) {
            // Itself, as a user character; or, with none left, its one-cell replacement.
            if (j < glass.size() && glass[j] != c && named != traced.end() && named->shown.size() == 1) {
                expect(named->shown.front(), "no user character left");
            } else {
                expect(c, "user character");
            }
            ++i;
            continue;
        }
        if (named == traced.end()) {
            ++wrong;
            ADD_FAILURE() << where << ": U+" << std::hex << static_cast<unsigned>(c) << std::dec
                          << " is neither shown nor replaced in the trace";
            ++i;
            ++j;
            continue;
        }
        for (const char32_t s : named->shown) expect(s, "traced replacement");
        i += named->characters.size();
    }
    for (; j < glass.size(); ++j) {
        if (glass[j] != U' ') {
            ++wrong;
            ADD_FAILURE() << where << ": cell " << j << " should be blank";
        }
    }
    return wrong;
}

std::u32string glassOf(const model::DisplayModel& m) {
    std::u32string cells;
    for (std::int32_t r = 0; r < m.deviceRows(); ++r) {
        for (std::int32_t c = 0; c < m.deviceColumns(); ++c) cells += m.shownCell(r, c).character;
    }
    return cells;
}

}  // namespace

TEST(EveryLanguage, onEveryCommandSetTheVirtualDisplayShowsWhatTheGlassShows) {
    const TempDir dir;
    for (const model::CommandSet& set : model::commandSets()) {
        SCOPED_TRACE(set.name);
        serialtest::Pty pty;
        const std::string tracePath = (dir.path() / (std::string(set.name) + ".trace")).string();
        auto trace = std::make_shared<device::Trace>(tracePath);
        const std::string name = uniqueDeviceName("every-language");
        auto registry = std::make_shared<device::DeviceRegistry>();
        const serial::SerialSettings settings{
            name, pty.slavePath(), {.baud = 115200}, &set, 2, 20, false, {}};
        registry->add(
            name, [settings, trace] { return std::make_unique<serial::SerialDisplay>(settings, trace); });
        Driver d(name, registry);
        ASSERT_TRUE(d.openClaimEnable());
        ASSERT_EQ(d.readInt("CharacterSet"), model::charSetUnicode);
        emulator::VirtualDisplay screen(set);
        screen.feed(pty.take());

        const model::CharacterPlanner planner(set, model::repertoireOf(set));
        const Repertoire shows{
            [&](char32_t c) { return planner.canShow(c); }, model::repertoireOf(set).user.budget};
        std::size_t linesRead = 0, wrong = 0, cells = 0, asUser = 0, replaced = 0;
        for (const Sentence& s : sentences()) {
            const std::string where = std::string(set.name) + ", " + s.language;
            ASSERT_EQ(d.call("ClearText"), OPOS_SUCCESS);
            ASSERT_EQ(d.call("DisplayText", {S(s.text), I(0)}), OPOS_SUCCESS) << where;
            ASSERT_TRUE(screen.feed(pty.take()) || s.text.empty());
            const model::DisplayModel glass = *d.control().shownModel();
            const std::vector<Traced> traced = fallbacksIn(tracePath, linesRead);
            wrong += wrongCells(model::codePoints(s.text), glassOf(glass), traced, shows, where);
            // The virtual display against the glass, cell by cell.
            for (std::int32_t r = 0; r < 2; ++r) {
                for (std::int32_t c = 0; c < 20; ++c) {
                    const char32_t want = glass.shownCell(r, c).character;
                    const char32_t got = screen.model().shownCell(r, c).character;
                    ++cells;
                    if (got >= emulator::userCharacterBase && got <= emulator::userCharacterBase + 0xFF) {
                        ++asUser;
                        const auto code = static_cast<std::uint8_t>(got - emulator::userCharacterBase);
                        const auto& loaded = screen.state().userCharacters;
                        if (loaded.contains(code) &&
                            lettering::Font::standard().glyph(want) == loaded.at(code))
                            continue;
                    } else if (got == want) {
                        continue;
                    }
                    ++wrong;
                    ADD_FAILURE() << where << ": the virtual display shows U+" << std::hex
                                  << static_cast<unsigned>(got) << " at " << std::dec << r << "," << c
                                  << " where the glass shows U+" << std::hex << static_cast<unsigned>(want);
                }
            }
            EXPECT_EQ(screen.faultCount(), 0u) << where << "\n" << screen.describe();
            for (const Traced& t : traced) replaced += t.kind != "user character";
        }
        EXPECT_EQ(wrong, 0u);
        if (std::getenv("LDT_SHOW_TRACE")) std::cout << std::ifstream(tracePath).rdbuf();
        std::cout << set.name << ": " << cells << " cells, 0 wrong: " << (wrong == 0 ? "yes" : "no") << "; "
                  << asUser << " user-character cells, " << replaced << " replacements traced\n";
    }
}

TEST(EveryLanguage, onEverySimulatedProfileEachCharacterIsShownOrItsReplacementTraced) {
    const TempDir dir;
    for (const model::DeviceProfile& profile : model::profiles) {
        SCOPED_TRACE(profile.name);
        const std::string tracePath = (dir.path() / (std::string(profile.name) + ".trace")).string();
        auto trace = std::make_shared<device::Trace>(tracePath);
        const std::string name = uniqueDeviceName("every-language-simulated");
        auto registry = std::make_shared<device::DeviceRegistry>();
        registry->add(name, [profile, trace, name] {
            return std::make_unique<device::SimulatedDisplay>(profile, trace, name);
        });
        Driver d(name, registry);
        ASSERT_TRUE(d.openClaimEnable());
        ASSERT_EQ(d.readInt("CharacterSet"), model::charSetUnicode);
        const Repertoire shows{[&](char32_t c) {
            for (const std::int32_t page : {437, 850, 852, 858, 866, 1252}) {
                if (!model::listsCharacterSet(profile, page)) continue;
                for (unsigned b = 0x20; b <= 0xFF; ++b) {
                    if (model::characterAt(static_cast<unsigned char>(b), page, 0) == c) return true;
                }
            }
            return false;
        }};
        std::size_t linesRead = 0, wrong = 0, replaced = 0;
        for (const Sentence& s : sentences()) {
            ASSERT_EQ(d.call("ClearText"), OPOS_SUCCESS);
            ASSERT_EQ(d.call("DisplayText", {S(s.text), I(0)}), OPOS_SUCCESS);
            const std::vector<Traced> traced = fallbacksIn(tracePath, linesRead);
            wrong += wrongCells(model::codePoints(s.text), glassOf(*d.control().shownModel()), traced, shows,
                std::string(profile.name) + ", " + s.language);
            replaced += traced.size();
        }
        EXPECT_EQ(wrong, 0u);
        std::cout << profile.name << ": " << replaced << " replacements traced, " << wrong
                  << " wrong cells\n";
    }
}

TEST(EveryLanguage, aCodePageBehavesAsBeforeWhateverTheTextIs) {
    // CharacterSet 437 on a DM-D display: "?" for what PC437 lacks, no
    // switches, no user characters, no replacement in the trace.
    const TempDir dir;
    serialtest::Pty pty;
    const std::string tracePath = (dir.path() / "437.trace").string();
    auto trace = std::make_shared<device::Trace>(tracePath);
    const std::string name = uniqueDeviceName("code-page");
    auto registry = std::make_shared<device::DeviceRegistry>();
    const serial::SerialSettings settings{
        name, pty.slavePath(), {.baud = 115200}, &model::dmD(), 2, 20, false, {}};
    registry->add(
        name, [settings, trace] { return std::make_unique<serial::SerialDisplay>(settings, trace); });
    Driver d(name, registry);
    ASSERT_TRUE(d.openClaimEnable());
    pty.take();
    ASSERT_EQ(d.write("CharacterSet", I(437)), OPOS_SUCCESS);
    EXPECT_EQ(pty.take(), std::string("\x1B\x74\x00", 3));
    ASSERT_EQ(d.call("DisplayText", {S(u"Ж€é"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(pty.take(), "??\x82");
    std::size_t linesRead = 0;
    EXPECT_TRUE(fallbacksIn(tracePath, linesRead).empty());
}

TEST(EveryLanguage, aScreenShowingAUserCharacterIsNeverClearedByAReset) {
    // A full screen, then one user character on blanks: where a reset is
    // the only clear (Logic Controls), it would drop the character just
    // defined, and the glass would show the code's own glyph.
    for (const model::CommandSet& set : model::commandSets()) {
        if (model::repertoireOf(set).user.budget == 0) continue;
        SCOPED_TRACE(set.name);
        const serial::ScreenWriter writer(set, 2, 20);
        const serial::UserCharacterLoader loader(set);
        emulator::VirtualDisplay reader(set);
        reader.feed(writer.initialiseBytes());
        serial::ShadowState state = writer.afterInitialise();
        model::DisplayModel picture(2, 20);
        picture.setCharacterSet(model::charSetUnicode);
        for (const std::u32string& text : {std::u32string(40, U'x'), U"\u05D0" + std::u32string(39, U' ')}) {
            picture.setCursor(0, 0);
            picture.writeText(text, model::attribute::normal, true);
            const serial::UserCharacterLoader::Loading loading = loader.load(state, picture);
            const serial::Update update = writer.update(state, loading.picture);
            reader.feed(loading.bytes + update.bytes);
            state = update.after;
        }
        const char32_t shown = reader.model().shownCell(0, 0).character;
        ASSERT_GE(shown, emulator::userCharacterBase) << reader.describe();
        const auto code = static_cast<std::uint8_t>(shown - emulator::userCharacterBase);
        EXPECT_EQ(lettering::Font::standard().glyph(U'\u05D0'), reader.state().userCharacters.at(code));
        EXPECT_EQ(reader.model().shownRows()[1], std::u16string(20, u' '));
    }
}

// The repertoire of each command set, the planner of its switches (against
// a slow reference and by reading its bytes back), and the user-character
// slots. The tables themselves are checked against iconv in
// character_sets_test.cpp.
#include "model/Repertoire.h"
#include "model/CharacterPlanner.h"
#include "model/CharacterSets.h"
#include "model/UserCharacterSlots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

using namespace model;

namespace {

// Whether a writer may rely on what a choice shows.
bool sure(const Selector& selector, std::optional<std::size_t> choice) {
    return choice && !selector.choices[*choice].uncertain;
}

// The character a byte shows when some choices are not known (or not
// established): the one every established choice agrees on, else 0.
char32_t agreed(const Repertoire& rep, const Selection& selection, unsigned char byte) {
    Selection known = selection;
    for (std::size_t s = 0; s < known.size(); ++s) {
        if (!sure(rep.selectors[s], known[s])) known[s] = std::nullopt;
    }
    for (std::size_t s = 0; s < known.size(); ++s) {
        if (known[s]) continue;
        for (std::size_t c = 0; c < rep.selectors[s].choices.size() && !known[s]; ++c) {
            if (sure(rep.selectors[s], c)) known[s] = c;
        }
    }
    char32_t shown = characterOf(rep, known, byte);
    if (byte >= 0x80 && !rep.basePageSure) shown = 0;
    for (std::size_t s = 0; s < selection.size(); ++s) {
        if (sure(rep.selectors[s], selection[s])) continue;
        for (std::size_t c = 0; c < rep.selectors[s].choices.size(); ++c) {
            if (!sure(rep.selectors[s], c)) continue;
            Selection other = known;
            other[s] = c;
            if (characterOf(rep, other, byte) != shown) shown = 0;
        }
    }
    return shown;
}

// The character a byte shows in a state, user characters included.
char32_t shownBy(const Repertoire& rep, const SelectionState& state, const UserCharacterSlots& loaded,
    unsigned char byte) {
    const auto user = loaded.characterAt(byte);
    if (user && (!rep.user.switched || state.userCharactersOn == true)) return *user;
    if (user && !state.userCharactersOn) return 0;  // user glyph or not: not known
    return agreed(rep, state.choices, byte);
}

// What the bytes of a plan show, read as a display reads them: switching
// commands change the selection, every other byte shows its character.
std::u32string readBack(const CommandSet& set, const Repertoire& rep, SelectionState state,
    const UserCharacterSlots& loaded, std::string_view bytes) {
    std::u32string shown;
    while (!bytes.empty()) {
        const Match m = matchAt(set, bytes);
        if (m.kind == Match::Kind::command) {
            const auto arg = static_cast<std::uint8_t>(argumentsOf(m, bytes).front());
            if (m.form->command == Command::selectUserCharacters) {
                state.userCharactersOn = arg == 1;
            } else {
                for (std::size_t s = 0; s < rep.selectors.size(); ++s) {
                    if (rep.selectors[s].command == m.form->command)
                        state.choices[s] = choiceOf(rep.selectors[s], arg);
                }
            }
        } else {
            shown.push_back(shownBy(rep, state, loaded, static_cast<unsigned char>(bytes.front())));
        }
        bytes.remove_prefix(std::max<std::size_t>(m.length, 1));
    }
    return shown;
}

// The least bytes, found the slow way: every state to every state before
// each character, at the sum of the switches' lengths.
std::size_t slowLeast(const CommandSet& set, const Repertoire& rep, const SelectionState& from,
    const UserCharacterSlots& loaded, std::u32string_view text) {
    std::vector<SelectionState> states{{Selection{}, std::nullopt}};
    for (const Selector& s : rep.selectors) {
        std::vector<SelectionState> more;
        for (const auto& partial : states) {
            for (std::size_t c = 0; c <= s.choices.size(); ++c) {
                if (c < s.choices.size() && s.choices[c].uncertain) continue;
                auto p = partial;
                p.choices.push_back(c < s.choices.size() ? std::optional(c) : std::nullopt);
                more.push_back(p);
            }
        }
        states = more;
    }
    std::vector<SelectionState> all;
    for (const auto& st : states) {
        for (const auto user : {std::optional<bool>(), std::optional(false), std::optional(true)})
            all.push_back({st.choices, user});
    }
    // What each state shows, worked out once.
    std::vector<std::u32string> shows(all.size());
    for (std::size_t j = 0; j < all.size(); ++j) {
        for (unsigned b = 0x20; b <= 0xFF; ++b)
            shows[j] += shownBy(rep, all[j], loaded, static_cast<unsigned char>(b));
    }
    const auto switchCost = [&](const SelectionState& a,
                                const SelectionState& b) -> std::optional<std::size_t> {
        std::size_t bytes = 0;
        for (std::size_t s = 0; s < rep.selectors.size(); ++s) {
            if (a.choices[s] == b.choices[s]) continue;
            if (!b.choices[s]) return std::nullopt;  // nothing switches to "not known"
            bytes += encode(set, rep.selectors[s].command, "x").size();
        }
        if (a.userCharactersOn != b.userCharactersOn) {
            if (!b.userCharactersOn || !rep.user.switched) return std::nullopt;
            bytes += encode(set, Command::selectUserCharacters, "x").size();
        }
        return bytes;
    };
    constexpr std::size_t none = std::numeric_limits<std::size_t>::max() / 2;
    std::vector<std::size_t> cost(all.size(), none);
    // A choice not established counts as not known.
    SelectionState start = from;
    for (std::size_t s = 0; s < rep.selectors.size(); ++s) {
        if (!sure(rep.selectors[s], start.choices[s])) start.choices[s] = std::nullopt;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == start) cost[i] = 0;
    }
    for (const char32_t c : text) {
        std::vector<std::size_t> next(all.size(), none);
        for (std::size_t j = 0; j < all.size(); ++j) {
            if (shows[j].find(c) == std::u32string::npos) continue;
            for (std::size_t i = 0; i < all.size(); ++i) {
                if (cost[i] >= none) continue;
                if (const auto bytes = switchCost(all[i], all[j]))
                    next[j] = std::min(next[j], cost[i] + *bytes + 1);
            }
        }
        cost = next;
    }
    return *std::ranges::min_element(cost);
}

}  // namespace

TEST(Repertoire, codeTablesAgreeWithTheCommandSetAndEachSelectorDecidesOneHalf) {
    for (const CommandSet& set : commandSets()) {
        SCOPED_TRACE(set.name);
        const Repertoire& rep = repertoireOf(set);
        const Selector* tables = nullptr;
        for (const Selector& s : rep.selectors) {
            ASSERT_NE(writerForm(set, s.command), nullptr);
            const bool upper = s.choices.front().page != 0;
            for (const Choice& c : s.choices) {
                EXPECT_EQ(c.page != 0, upper);
                EXPECT_EQ(c.national >= 0, s.choices.front().national >= 0);
            }
            if (s.command == Command::codeTable) tables = &s;
        }
        // The pages an application chooses by number are the ones the repertoire selects by it.
        for (const CodeTable& t : set.codeTables) {
            if (tables == nullptr || t.characterSet == charSetAscii) continue;
            const auto c = choiceOf(*tables, t.number);
            ASSERT_TRUE(c.has_value()) << t.characterSet;
            EXPECT_EQ(tables->choices[*c].page, t.characterSet);
        }
    }
}

TEST(CharacterPlanner, isExactAndItsBytesShowTheText) {
    // Characters from every part of the repertoires: plain ASCII, letters
    // of one page or of several, national letters, one only a user character shows.
    const std::u32string alphabet = U"a@#\u00e9\u00df\u0416\u03a9\u00c6\u20ac\u0141\u011f\u2591\u05d0";
    std::mt19937 random(7);
    for (const CommandSet& each : commandSets()) {
        const CommandSet* set = &each;
        const Repertoire& rep = repertoireOf(*set);
        const CharacterPlanner planner(*set, rep);
        UserCharacterSlots loaded;
        const std::vector<char32_t> wanted{U'\u05d0', U'\u0141'};
        const std::vector<std::uint8_t> avoid{'a', '@'};
        loaded.assign(wanted, rep.user, avoid);
        for (int round = 0; round < 12; ++round) {
            std::u32string text;
            for (int i = 0; i < 6; ++i) text += alphabet[random() % alphabet.size()];
            SelectionState from{Selection(rep.selectors.size()), std::nullopt};
            if (round % 2 == 0) from = {powerOnSelection(rep), false};
            const CharacterPlan plan = planner.plan(text, from, loaded);
            std::string all;
            for (const auto& b : plan.bytes) all += b;
            ASSERT_EQ(all.size(), plan.size);
            std::u32string expected;
            for (const char32_t c : text) expected += planner.canShow(c) || loaded.codeOf(c) ? c : U'?';
            EXPECT_EQ(readBack(*set, rep, from, loaded, all), expected) << set->name << " round " << round;
            if (round < 4) {
                EXPECT_EQ(plan.size, slowLeast(*set, rep, from, loaded, expected)) << set->name;
            }
        }
    }
}

TEST(CharacterPlanner, switchesOnlyWhereThatSavesBytes) {
    const Repertoire& rep = repertoireOf(dmD());
    const CharacterPlanner planner(dmD(), rep);
    const SelectionState start{powerOnSelection(rep), false};
    // "Grüße" needs nothing beyond PC437; Cyrillic between two ü needs a
    // switch to PC866 (ESC t 17) and one back, as PC866 has no ü.
    const CharacterPlan german = planner.plan(U"Gr\u00fc\u00dfe", start, {});
    EXPECT_EQ(german.size, 5u);
    const CharacterPlan mixed = planner.plan(U"\u00fc\u0416\u0416\u00fc", start, {});
    EXPECT_EQ(mixed.size, 4u + 3u + 3u);  // to PC866 and back to a page with ü
    EXPECT_EQ(mixed.bytes[1].substr(0, 3), "\x1B\x74\x11");
}

TEST(UserCharacterSlots, reusesLoadedOnesAndReplacesTheLeastRecentlyUsed) {
    UserCharacterRules rules{.budget = 2, .firstCode = 0x20, .lastCode = 0x7E, .switched = true};
    UserCharacterSlots slots;
    const std::vector<std::uint8_t> none;
    auto first = slots.assign(std::vector<char32_t>{U'Ж', U'Щ'}, rules, none);
    ASSERT_EQ(first.defined.size(), 2u);
    EXPECT_TRUE(first.refused.empty());
    const auto zhe = *slots.codeOf(U'Ж');
    EXPECT_NE(zhe, 0x20);
    EXPECT_NE(zhe, '?');
    // Ж again: loaded already, nothing to define.
    EXPECT_TRUE(slots.assign(std::vector<char32_t>{U'Ж'}, rules, none).defined.empty());
    // Ю takes the place of Щ, the one unused longest.
    const auto third = slots.assign(std::vector<char32_t>{U'Ю'}, rules, none);
    ASSERT_EQ(third.defined.size(), 1u);
    EXPECT_FALSE(slots.codeOf(U'Щ'));
    EXPECT_EQ(slots.codeOf(U'Ж'), zhe);
    // Three wanted at once with room for two: one is refused.
    const auto crowded = slots.assign(std::vector<char32_t>{U'Ж', U'Ю', U'Я'}, rules, none);
    EXPECT_EQ(crowded.refused, std::vector<char32_t>{U'Я'});
    // Punctuation goes before letters, and codes to avoid are left alone.
    UserCharacterSlots fresh;
    const std::vector<std::uint8_t> avoid{0x7E, 0x7D};
    fresh.assign(std::vector<char32_t>{U'Ж'}, rules, avoid);
    EXPECT_EQ(fresh.codeOf(U'Ж'), 0x7C);
    // Without a select command a code to avoid is never taken.
    UserCharacterRules single{.budget = 1, .firstCode = 0x7E, .lastCode = 0x7E, .switched = false};
    UserCharacterSlots one;
    EXPECT_EQ(
        one.assign(std::vector<char32_t>{U'Ж'}, single, std::vector<std::uint8_t>{0x7E}).refused.size(), 1u);
}

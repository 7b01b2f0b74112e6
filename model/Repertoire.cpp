// The repertoire rows, written from the displays' protocol documents and the
// code-table and international-set numbers the ESC/POS-style family shares.
#include "model/Repertoire.h"

#include "model/CharacterSets.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace model {
namespace {

// The DM-D's code tables by their ESC t numbers (the CommandSet's codeTables
// use the same numbers for the pages an application can choose).
constexpr std::array dmDTables{
    Choice{.argument = 0, .page = 437},
    Choice{.argument = 2, .page = 850},
    Choice{.argument = 3, .page = 860},
    Choice{.argument = 4, .page = 863},
    Choice{.argument = 5, .page = 865},
    Choice{.argument = 13, .page = 857},
    Choice{.argument = 14, .page = 737},
    Choice{.argument = 16, .page = 1252},
    Choice{.argument = 17, .page = 866},
    Choice{.argument = 18, .page = 852},
    Choice{.argument = 19, .page = 858},
};

// ESC R n: n is the national set's number.
constexpr auto dmDNational = [] {
    std::array<Choice, 16> choices{};
    for (std::size_t n = 0; n < choices.size(); ++n) {
        choices[n] =
            Choice{.argument = static_cast<std::uint8_t>(n), .national = static_cast<std::int32_t>(n)};
    }
    return choices;
}();

// ESC f n on the CD5220: a letter per country. Its Slavonic ("L") and
// Russian ("R") sets are left out: what they show is not documented.
constexpr std::array cd5220National{
    Choice{.argument = 'A', .national = 0},  // USA
    Choice{.argument = 'F', .national = 1},  // France
    Choice{.argument = 'G', .national = 2},  // Germany
    Choice{.argument = 'U', .national = 3},  // UK
    Choice{.argument = 'D', .national = 4},  // Denmark
    Choice{.argument = 'W', .national = 5},  // Sweden
    Choice{.argument = 'I', .national = 6},  // Italy
    Choice{.argument = 'S', .national = 7},  // Spain
    Choice{.argument = 'J', .national = 8},  // Japan
    Choice{.argument = 'N', .national = 9},  // Norway
};

constexpr std::array dmDSelectors{
    Selector{.command = Command::codeTable, .choices = dmDTables},
    Selector{.command = Command::internationalSet, .choices = dmDNational},
};
constexpr std::array cd5220Selectors{
    Selector{.command = Command::internationalSet, .choices = cd5220National},
};

// ESC R n on the ANSI-style set: one command for the national variants
// (00-0C, over an upper half the drivers take as PC437) and the code pages
// (30 "standard", 31 Latin-1, 32 Latin-2, 33 Latin-5, 34 PC858, 35 PC866, 36
// Greek). Only 34 and 35 are established (two drivers agree on them); the
// others are read as PC437 and ISO 8859-1, -2, -9 and -7 but never chosen by
// a writer. The national variants' upper half is not established either, so
// they are left to the reader too. 37 (Hebrew) and 63/73 are left out: their
// tables are not known.
constexpr auto ansiChoices = [] {
    constexpr std::size_t nationals = 13;
    constexpr std::array<std::int32_t, 7> pages{437, 28591, 28592, 28599, 858, 866, 28597};
    std::array<Choice, nationals + pages.size()> choices{};
    for (std::size_t n = 0; n < nationals; ++n) {
        choices[n] = Choice{.argument = static_cast<std::uint8_t>(n),
            .page = 437,
            .national = static_cast<std::int32_t>(n),
            .uncertain = true};
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        choices[nationals + p] = Choice{.argument = static_cast<std::uint8_t>(0x30 + p),
            .page = pages[p],
            .national = 0,
            .uncertain = pages[p] != 858 && pages[p] != 866};
    }
    return choices;
}();
constexpr std::array ansiSelectors{
    Selector{.command = Command::codeTable, .choices = ansiChoices},
};

// What each set's displays show beyond what CommandSet says. DM-D and CD5220
// keep 16 user characters loaded at a time: the documents give no figure for
// how many a display holds, and many of the family hold no more. The sets
// that cannot pick a table show their ROM's upper half, which varies by
// model (the console's code-page mode takes it as PC437; Unicode text keeps
// to ASCII there).
struct Row {
    std::string_view commandSet;
    std::int32_t basePage = 437;
    bool basePageSure = true;
    std::span<const Selector> selectors{};
    std::int32_t userBudget = 0;  // at most; 0: all the set describes
};
constexpr std::array rows{
    Row{.commandSet = "DM-D", .selectors = dmDSelectors, .userBudget = 16},
    Row{.commandSet = "CD5220", .selectors = cd5220Selectors, .userBudget = 16},
    Row{.commandSet = "Logic Controls", .basePageSure = false},
    Row{.commandSet = "UTC standard", .basePageSure = false},
    Row{.commandSet = "UTC enhanced", .basePageSure = false},
    Row{.commandSet = "AEDEX", .basePageSure = false},
    Row{.commandSet = "ANSI", .selectors = ansiSelectors},
};

Repertoire make(const CommandSet& set) {
    Repertoire r;
    r.commandSet = set.name;
    if (const auto row = std::ranges::find(rows, set.name, &Row::commandSet); row != rows.end()) {
        r.basePage = row->basePage;
        r.basePageSure = row->basePageSure;
        r.selectors = row->selectors;
    } else {
        // A set without a row shows its one table, and nothing else.
        r.basePage = set.codeTables.empty() ? charSetAscii : set.codeTables.front().characterSet;
    }
    const UserCharacters& u = set.userCharacters;
    const Command define =
        u.layout == GlyphLayout::rows5x7 ? Command::defineUserCharacter : Command::defineUserCharacters;
    if (u.layout != GlyphLayout::none && u.count > 0 && writerForm(set, define) != nullptr) {
        const auto row = std::ranges::find(rows, set.name, &Row::commandSet);
        const std::int32_t cap = row != rows.end() && row->userBudget > 0 ? row->userBudget : u.count;
        r.user = UserCharacterRules{.budget = std::min(u.count, cap),
            .layout = u.layout,
            .firstCode = u.first,
            .lastCode = u.last,
            .switched = writerForm(set, Command::selectUserCharacters) != nullptr};
    }
    return r;
}

}  // namespace

const Repertoire& repertoireOf(const CommandSet& set) {
    // Made once for every set of the table, then only read.
    using Entry = std::pair<const CommandSet*, Repertoire>;
    static const std::vector<Entry> all = [] {
        std::vector<Entry> made;
        for (const CommandSet& s : commandSets()) made.emplace_back(&s, make(s));
        return made;
    }();
    const auto it = std::ranges::find(all, &set, &Entry::first);
    if (it != all.end()) return it->second;
    static const Repertoire none{};
    return none;
}

Selection powerOnSelection(const Repertoire& repertoire) {
    return Selection(repertoire.selectors.size(), std::size_t{0});
}

std::optional<std::size_t> choiceOf(const Selector& selector, std::uint8_t argument) {
    const auto it = std::ranges::find(selector.choices, argument, &Choice::argument);
    if (it == selector.choices.end()) return std::nullopt;
    return static_cast<std::size_t>(it - selector.choices.begin());
}

char32_t characterOf(const Repertoire& repertoire, const Selection& selection, unsigned char byte) {
    std::int32_t page = repertoire.basePage;
    std::int32_t national = 0;
    const bool upper = byte >= 0x80;
    for (std::size_t s = 0; s < repertoire.selectors.size(); ++s) {
        const Selector& selector = repertoire.selectors[s];
        const bool decides =
            upper ? selector.choices.front().page != 0 : selector.choices.front().national >= 0;
        if (!decides) continue;
        if (s >= selection.size() || !selection[s]) return 0;
        const Choice& choice = selector.choices[*selection[s]];
        if (upper) {
            page = choice.page;
        } else {
            national = choice.national;
        }
    }
    return characterAt(byte, page, static_cast<std::size_t>(national));
}

}  // namespace model

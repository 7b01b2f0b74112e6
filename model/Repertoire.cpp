// The repertoire rows, written from the displays' protocol documents and the
// code-table and international-set numbers the ESC/POS-style family shares.
#include "model/Repertoire.h"

#include "model/CharacterSets.h"

#include <algorithm>
#include <array>

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

// ESC & 01 n m defines codes 20..7E; many displays of the family keep 16
// patterns at a time (the documents give no figure).
constexpr UserCharacterRules escapeUserCharacters{
    .budget = 16, .firstCode = 0x20, .lastCode = 0x7E, .switched = true};

const std::array repertoires{
    Repertoire{
        .commandSet = "DM-D",
        .basePage = 437,
        .selectors = dmDSelectors,
        .user = escapeUserCharacters,
    },
    Repertoire{
        .commandSet = "CD5220",
        .basePage = 437,
        .selectors = cd5220Selectors,
        .user = escapeUserCharacters,
    },
};

}  // namespace

const Repertoire& repertoireOf(const CommandSet& set) {
    const auto it = std::ranges::find(repertoires, set.name, &Repertoire::commandSet);
    if (it != repertoires.end()) return *it;
    // A set without a row shows its one table, and nothing else.
    static const std::array fixed{
        Repertoire{.commandSet = "", .basePage = 437, .selectors = {}, .user = {}},
        Repertoire{.commandSet = "", .basePage = charSetAscii, .selectors = {}, .user = {}},
    };
    return set.codeTables.empty() || set.codeTables.front().characterSet == charSetAscii ? fixed[1]
                                                                                         : fixed[0];
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

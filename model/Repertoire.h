// The repertoire of a command set's displays: which character each byte
// shows, the commands that change that (code tables for the upper half,
// national variants of ASCII for the lower), and the user-defined
// characters the set can load.
//
// One row per command set, kept beside the command-set table rather than in
// it: the byte forms of the commands and the user characters' codes and
// layout are CommandSet's, the characters the selecting commands select are
// here. Which tables and sets a display model carries varies; the rows list
// what the protocol documents give for the family. What a document leaves
// uncertain (what a choice's table holds, the upper half of a set that
// cannot pick one) is read by the virtual display in its likeliest meaning
// but never relied on by a writer of Unicode text.
//
// Constant data and pure functions; safe from any thread.
#pragma once

#include "model/CommandSet.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace model {

// One argument of a selecting command and the part of the byte table it sets.
struct Choice {
    std::uint8_t argument = 0;  // the byte after the command's fixed bytes
    std::int32_t page = 0;  // the code page whose upper half bytes 80..FF then show; 0: not this command's
    std::int32_t national =
        -1;  // the national set (index into nationalSets()) of bytes 20..7E; -1: not this command's
    bool uncertain = false;  // what it selects is not established: a writer never selects it
};

// A command that selects one part of the byte table. The first choice is
// the one a display starts with.
struct Selector {
    Command command = Command::codeTable;
    std::span<const Choice> choices;
};

// How a set's user-defined characters work (from the command set's own
// description of them).
struct UserCharacterRules {
    std::int32_t budget = 0;  // how many a writer keeps loaded at once; 0: the set has none
    GlyphLayout layout = GlyphLayout::none;
    std::uint8_t firstCode = 0;
    std::uint8_t lastCode = 0;
    // Whether they are a mode for the bytes written after a select command
    // (selectUserCharacters 1 / 0); otherwise a defined code shows its
    // glyph wherever it is written.
    bool switched = false;
};

struct Repertoire {
    std::string_view commandSet;
    std::int32_t basePage = 437;  // the upper half no selector sets
    // Whether that upper half is established (a set that cannot pick a table
    // shows what its model's ROM holds): if not, Unicode text relies on
    // ASCII alone.
    bool basePageSure = true;
    std::span<const Selector> selectors;
    UserCharacterRules user;
};

// The repertoire of a command set.
const Repertoire& repertoireOf(const CommandSet& set);

// The choice of each selector as far as it is known (nothing: not known),
// in the order of the repertoire's selectors.
using Selection = std::vector<std::optional<std::size_t>>;

// The selection a display starts with: each selector's first choice.
Selection powerOnSelection(const Repertoire& repertoire);

// The index of a selector's choice with this argument, or nothing.
std::optional<std::size_t> choiceOf(const Selector& selector, std::uint8_t argument);

// The character a byte shows under a selection (user characters aside): 0
// for a byte that shows nothing printable, and for one whose character
// depends on a choice that is not known.
char32_t characterOf(const Repertoire& repertoire, const Selection& selection, unsigned char byte);

}  // namespace model

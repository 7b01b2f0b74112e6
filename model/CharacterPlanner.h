// The cheapest bytes for a run of characters on a display whose byte table
// can be switched while writing: which code table, national set and user
// characters to select before which character, so that every character
// shows and the switches cost the fewest bytes over the whole sequence.
//
// A character can be shown by a byte under some choices (an upper-half
// byte under one code table, a national letter under one national set, a
// letter that every national set keeps under any), or by a loaded user
// character (with user characters selected, where the set switches them).
// A byte that is a loaded user character's code shows that glyph while
// user characters are selected, so the plain character needs them off.
// The plan is exact: a shortest path over the selection states (every
// selector's choice, or not known) along the characters, where each switch
// costs its command's bytes; the costs are separate per selector, so each
// step relaxes one selector at a time.
//
// Constant after construction; plan() is a pure function, safe from any thread.
#pragma once

#include "model/CommandSet.h"
#include "model/Repertoire.h"
#include "model/UserCharacterSlots.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace model {

// The selection a display is in: each selector's choice and whether user
// characters are selected, nothing where not known.
struct SelectionState {
    Selection choices;
    std::optional<bool> userCharactersOn;
    friend bool operator==(const SelectionState&, const SelectionState&) = default;
};

struct CharacterPlan {
    // For each character: the switching commands to send before it, then its byte.
    std::vector<std::string> bytes;
    SelectionState after;
    std::size_t size = 0;  // all bytes of the plan
};

class CharacterPlanner {
public:
    CharacterPlanner(const CommandSet& set, const Repertoire& repertoire);

    // Whether some selection shows the character without user characters.
    bool canShow(char32_t character) const { return ways_.contains(character); }
    // A byte that shows the character whatever is selected, with these user
    // characters loaded, or nothing (for text inside a command, where
    // nothing can be switched).
    std::optional<unsigned char> freeByte(char32_t character, const UserCharacterSlots& loaded) const;

    // The cheapest bytes that write these characters in order, starting
    // from `from`, with these user characters loaded. A character that
    // nothing shows is written as "?".
    CharacterPlan plan(
        std::u32string_view characters, const SelectionState& from, const UserCharacterSlots& loaded) const;

private:
    // A byte that shows a character, and the one choice it needs (none: it
    // shows the character under every choice).
    struct Way {
        unsigned char byte;
        std::int32_t selector = -1;
        std::int32_t choice = -1;
    };

    const CommandSet* set_;
    const Repertoire* repertoire_;
    std::unordered_map<char32_t, std::vector<Way>> ways_;
    std::vector<std::size_t> switchCost_;  // by dimension: the selectors, then user characters
};

}  // namespace model

// The user-defined characters a display holds: which code shows which
// character, and when each was last on the screen, so that a character
// already loaded is used again and the least recently used one gives way
// when the display's budget is spent.
//
// A plain value type (part of a serial display's shadow); not thread-safe by
// itself.
#pragma once

#include "model/Repertoire.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace model {

class UserCharacterSlots {
public:
    struct Slot {
        std::uint8_t code = 0;
        char32_t character = 0;
        std::uint64_t lastUsed = 0;
        friend bool operator==(const Slot&, const Slot&) = default;
    };
    struct Outcome {
        std::vector<Slot> defined;      // codes to (re)define, in code order
        std::vector<char32_t> refused;  // characters that got no code
    };

    const std::vector<Slot>& slots() const { return slots_; }
    // The code that shows a character, or nothing.
    std::optional<std::uint8_t> codeOf(char32_t character) const;
    // The character a code shows, or nothing when the code holds none.
    std::optional<char32_t> characterAt(std::uint8_t code) const;

    // Gives every character of `wanted` (distinct) a code: one already
    // loaded keeps its own; a new one takes a free code while fewer than
    // the budget are loaded, else the code of the least recently used
    // character that is not wanted now. Free codes are taken from the top
    // of the range, punctuation before letters and digits, and never 20 or
    // 3F (space and "?" must always be writable); codes in `avoid` are
    // taken only when no other is free, and never when the rules have no
    // select command (a loaded code then shows its glyph everywhere). Every
    // wanted character counts as used now.
    Outcome assign(std::span<const char32_t> wanted, const UserCharacterRules& rules,
        std::span<const std::uint8_t> avoid);
    // Forgets every loaded character (the display was initialised).
    void clear() { slots_.clear(); }

    friend bool operator==(const UserCharacterSlots&, const UserCharacterSlots&) = default;

private:
    std::vector<Slot> slots_;  // in code order
    std::uint64_t clock_ = 0;
};

}  // namespace model

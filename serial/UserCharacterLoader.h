// Loading the user-defined characters a Unicode picture needs, before the
// screen writer writes it: each character on the picture that no code page
// or national set of the command set shows, but the 5x7 font draws, gets a
// code (one already loaded is used again; the least recently used one gives
// way when the display's budget is spent), and the define command for each
// new one. A character left without a code (more of them on the picture
// than the display holds) is shown instead by its one-letter
// transliteration, or by "?".
//
// Const after construction; load() is a pure function of its arguments
// (the transliterator locks); safe from any thread.
#pragma once

#include "lettering/Shaper.h"
#include "model/CommandSet.h"
#include "model/DisplayModel.h"
#include "model/Repertoire.h"
#include "serial/ScreenWriter.h"

#include <string>
#include <vector>

namespace serial {

class UserCharacterLoader {
public:
    UserCharacterLoader(
        const model::CommandSet& set, const lettering::Font& font = lettering::Font::standard());
    // The shaper refers to this loader's planner: not to be copied.
    UserCharacterLoader(const UserCharacterLoader&) = delete;
    UserCharacterLoader& operator=(const UserCharacterLoader&) = delete;

    // The shaper of Unicode text for this set: its pages, and user
    // characters where the set can load them.
    const lettering::Shaper& shaper() const { return shaper_; }

    struct Loading {
        model::DisplayModel picture;  // the target, with characters left without a code replaced
        std::string bytes;            // the define commands, to go before the writer's bytes
        std::vector<lettering::Fallback> fallbacks;  // the replacements, for the trace
    };
    // Loads what `target` needs into `state.userCharacters` (the display's
    // state once `bytes` are sent).
    Loading load(ShadowState& state, const model::DisplayModel& target) const;

private:
    const model::CommandSet* set_;
    const model::Repertoire* repertoire_;
    const lettering::Font* font_;
    model::CharacterPlanner planner_;
    lettering::Shaper shaper_;
};

}  // namespace serial

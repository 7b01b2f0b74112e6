#include "model/CharacterPlanner.h"

#include "model/CharacterSets.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace model {
namespace {

constexpr std::uint32_t infinite = std::numeric_limits<std::uint32_t>::max() / 2;

// Whether a selector decides what a byte shows: the upper half when its
// choices name a page, the lower when they name a national set (one
// command may do both).
bool decides(const Selector& selector, unsigned char byte) {
    return byte >= 0x80 ? selector.choices.front().page != 0 : selector.choices.front().national >= 0;
}

}  // namespace

CharacterPlanner::CharacterPlanner(const CommandSet& set, const Repertoire& repertoire)
    : set_(&set), repertoire_(&repertoire) {
    const auto& selectors = repertoire.selectors;
    for (unsigned b = 0x20; b <= 0xFF; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const auto decider =
            std::ranges::find_if(selectors, [&](const Selector& s) { return decides(s, byte); });
        if (decider == selectors.end()) {
            if (byte >= 0x80 && !repertoire.basePageSure) continue;
            if (const char32_t c = characterAt(byte, repertoire.basePage, 0); c != 0)
                ways_[c].push_back({byte});
            continue;
        }
        // Every other selector decides the other half, so any choice of
        // theirs does here; choices whose tables are not established are
        // never relied on.
        const auto s = static_cast<std::int32_t>(decider - selectors.begin());
        Selection selection = powerOnSelection(repertoire);
        std::vector<std::pair<std::size_t, char32_t>> shown;
        for (std::size_t c = 0; c < decider->choices.size(); ++c) {
            if (decider->choices[c].uncertain) continue;
            selection[static_cast<std::size_t>(s)] = c;
            shown.emplace_back(c, characterOf(repertoire, selection, byte));
        }
        if (shown.empty()) continue;
        if (std::ranges::all_of(shown, [&](const auto& c) { return c.second == shown.front().second; })) {
            if (shown.front().second != 0) ways_[shown.front().second].push_back({byte});
            continue;
        }
        for (const auto& [c, character] : shown) {
            if (character != 0) ways_[character].push_back({byte, s, static_cast<std::int32_t>(c)});
        }
    }
    for (const Selector& selector : selectors) {
        const char argument = static_cast<char>(selector.choices.front().argument);
        switchCost_.push_back(encode(set, selector.command, std::string_view(&argument, 1)).size());
    }
    if (repertoire.user.budget > 0 && repertoire.user.switched) {
        switchCost_.push_back(encode(set, Command::selectUserCharacters, "\x01").size());
    }
}

std::optional<unsigned char> CharacterPlanner::freeByte(
    char32_t character, const UserCharacterSlots& loaded) const {
    if (const auto code = loaded.codeOf(character); code && !repertoire_->user.switched) return *code;
    const auto found = ways_.find(character);
    if (found == ways_.end()) return std::nullopt;
    for (const Way& w : found->second) {
        if (w.selector < 0 && !loaded.characterAt(w.byte)) return w.byte;
    }
    return std::nullopt;
}

CharacterPlan CharacterPlanner::plan(
    std::u32string_view characters, const SelectionState& from, const UserCharacterSlots& loaded) const {
    const auto& selectors = repertoire_->selectors;
    const std::size_t dims = switchCost_.size();
    const bool userSwitched = dims > selectors.size();
    const std::size_t userDim = selectors.size();

    // The ways of each character, each with what it needs.
    struct Need {
        unsigned char byte;
        std::int32_t selector;
        std::int32_t choice;  // of the selector; made an index into kept[selector] below
        std::int32_t user;    // -1: any, 0 off, 1 on
    };
    std::vector<std::vector<Need>> needs(characters.size());
    bool free = true;  // every character has a way that needs nothing
    for (std::size_t k = 0; k < characters.size(); ++k) {
        const char32_t c = characters[k];
        if (const auto found = ways_.find(c); found != ways_.end()) {
            for (const Way& w : found->second) {
                std::int32_t user = -1;
                if (const auto held = loaded.characterAt(w.byte); held && *held != c) {
                    if (!userSwitched) continue;  // the code shows its user glyph everywhere
                    user = 0;
                }
                needs[k].push_back({w.byte, w.selector, w.choice, user});
            }
        }
        if (const auto code = loaded.codeOf(c)) needs[k].push_back({*code, -1, -1, userSwitched ? 1 : -1});
        if (needs[k].empty()) needs[k].push_back({'?', -1, -1, -1});
        free =
            free && std::ranges::any_of(needs[k], [](const Need& n) { return n.selector < 0 && n.user < 0; });
    }

    // The values each dimension takes in the search: the choices some way
    // needs and the one the display starts in (switching to any other never
    // shows more), then "not known". User characters: off and on.
    std::vector<std::vector<std::size_t>> kept(dims);
    std::vector<std::optional<std::size_t>> startValue(dims);
    for (std::size_t d = 0; d < dims; ++d) {
        if (d < selectors.size()) {
            if (d < from.choices.size()) startValue[d] = from.choices[d];
        } else if (from.userCharactersOn) {
            startValue[d] = *from.userCharactersOn ? 1 : 0;
        }
        if (d >= selectors.size()) {
            kept[d] = {0, 1};
            continue;
        }
        if (startValue[d]) kept[d].push_back(*startValue[d]);
        for (const auto& list : needs) {
            for (const Need& n : list) {
                if (n.selector == static_cast<std::int32_t>(d))
                    kept[d].push_back(static_cast<std::size_t>(n.choice));
            }
        }
        std::ranges::sort(kept[d]);
        kept[d].erase(std::unique(kept[d].begin(), kept[d].end()), kept[d].end());
    }
    const auto indexIn = [&](std::size_t d, std::size_t choice) {
        return static_cast<std::size_t>(std::ranges::lower_bound(kept[d], choice) - kept[d].begin());
    };
    for (auto& list : needs) {
        for (Need& n : list) {
            if (n.selector >= 0)
                n.choice = static_cast<std::int32_t>(
                    indexIn(static_cast<std::size_t>(n.selector), static_cast<std::size_t>(n.choice)));
        }
    }
    std::vector<std::size_t> values(dims), stride(dims);
    std::size_t states = 1;
    for (std::size_t d = 0; d < dims; ++d) {
        values[d] = kept[d].size();
        stride[d] = states;
        states *= values[d] + 1;
    }
    const auto valueOf = [&](std::size_t state, std::size_t d) {
        return state / stride[d] % (values[d] + 1);
    };
    std::size_t start = 0;
    for (std::size_t d = 0; d < dims; ++d) {
        start += (startValue[d] ? indexIn(d, *startValue[d]) : values[d]) * stride[d];
    }

    // Each state's value per dimension, looked up rather than divided out
    // in the inner loops.
    std::vector<std::vector<std::uint8_t>> valueAt(dims, std::vector<std::uint8_t>(states));
    for (std::size_t d = 0; d < dims; ++d) {
        for (std::size_t s = 0; s < states; ++s) valueAt[d][s] = static_cast<std::uint8_t>(valueOf(s, d));
    }
    const auto satisfied = [&](const Need& n, std::size_t state) {
        if (n.selector >= 0 &&
            valueAt[static_cast<std::size_t>(n.selector)][state] != static_cast<std::size_t>(n.choice))
            return false;
        return n.user < 0 || valueAt[userDim][state] == static_cast<std::size_t>(n.user);
    };

    CharacterPlan plan;
    plan.bytes.resize(characters.size());
    if (free) {
        // Nothing to switch: the common case of text every table shares.
        for (std::size_t k = 0; k < characters.size(); ++k) {
            const auto it =
                std::ranges::find_if(needs[k], [&](const Need& n) { return satisfied(n, start); });
            plan.bytes[k] = std::string(1, static_cast<char>(it->byte));
        }
        plan.after = from;
        plan.size = characters.size();
        return plan;
    }

    // Shortest path over the states, one character at a time.
    std::vector<std::uint32_t> cost(states, infinite);
    cost[start] = 0;
    std::vector<std::uint32_t> origin(characters.size() * states);
    std::vector<std::uint32_t> org(states);
    for (std::size_t k = 0; k < characters.size(); ++k) {
        for (std::size_t s = 0; s < states; ++s) org[s] = static_cast<std::uint32_t>(s);
        // Switches before the character, one selector at a time: along each
        // line of states that differ only in this selector, any state is
        // reached from the line's cheapest at the price of one switch.
        for (std::size_t d = 0; d < dims; ++d) {
            const auto step = static_cast<std::uint32_t>(switchCost_[d]);
            const std::size_t span = stride[d] * (values[d] + 1);
            for (std::size_t outer = 0; outer < states; outer += span) {
                for (std::size_t inner = 0; inner < stride[d]; ++inner) {
                    const std::size_t base = outer + inner;
                    std::size_t best = base;
                    for (std::size_t v = 1; v <= values[d]; ++v) {
                        if (cost[base + v * stride[d]] < cost[best]) best = base + v * stride[d];
                    }
                    if (cost[best] >= infinite) continue;
                    const std::uint32_t switched = cost[best] + step;
                    const std::uint32_t from = org[best];
                    for (std::size_t v = 0; v < values[d]; ++v) {  // never to "not known"
                        const std::size_t t = base + v * stride[d];
                        if (switched < cost[t]) {
                            cost[t] = switched;
                            org[t] = from;
                        }
                    }
                }
            }
        }
        const bool anywhere =
            std::ranges::any_of(needs[k], [](const Need& n) { return n.selector < 0 && n.user < 0; });
        for (std::size_t s = 0; s < states; ++s) {
            const bool shows =
                anywhere || std::ranges::any_of(needs[k], [&](const Need& n) { return satisfied(n, s); });
            cost[s] = shows && cost[s] < infinite ? cost[s] + 1 : infinite;
        }
        std::copy(org.begin(), org.end(), origin.begin() + static_cast<std::ptrdiff_t>(k * states));
    }
    std::size_t state = static_cast<std::size_t>(std::ranges::min_element(cost) - cost.begin());
    plan.size = cost[state];
    plan.after.choices.resize(selectors.size());
    for (std::size_t d = 0; d < dims; ++d) {
        const std::size_t v = valueOf(state, d);
        const std::optional<std::size_t> known = v < values[d] ? std::optional(kept[d][v]) : std::nullopt;
        if (d < selectors.size()) {
            plan.after.choices[d] = known;
        } else {
            plan.after.userCharactersOn = known ? std::optional(*known == 1) : std::nullopt;
        }
    }
    if (!userSwitched) plan.after.userCharactersOn = from.userCharactersOn;
    for (std::size_t k = characters.size(); k-- > 0;) {
        const std::size_t before = origin[k * states + state];
        std::string bytes;
        for (std::size_t d = 0; d < dims; ++d) {
            const std::size_t v = valueOf(state, d);
            if (v == valueOf(before, d)) continue;
            const char argument = d < selectors.size()
                                      ? static_cast<char>(selectors[d].choices[kept[d][v]].argument)
                                      : static_cast<char>(kept[d][v]);
            const Command command =
                d < selectors.size() ? selectors[d].command : Command::selectUserCharacters;
            bytes += encode(*set_, command, std::string_view(&argument, 1));
        }
        const auto it = std::ranges::find_if(needs[k], [&](const Need& n) { return satisfied(n, state); });
        bytes += static_cast<char>(it->byte);
        plan.bytes[k] = std::move(bytes);
        state = before;
    }
    return plan;
}

}  // namespace model

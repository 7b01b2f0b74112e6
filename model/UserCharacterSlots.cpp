#include "model/UserCharacterSlots.h"

#include <algorithm>
#include <utility>

namespace model {
namespace {

bool alphanumeric(std::uint8_t code) {
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

// The codes of the range in the order they are handed out.
std::vector<std::uint8_t> codeOrder(const UserCharacterRules& rules) {
    std::vector<std::uint8_t> order;
    for (unsigned code = rules.lastCode + 1u; code-- > rules.firstCode;) {
        if (code != 0x20 && code != 0x3F) order.push_back(static_cast<std::uint8_t>(code));
    }
    std::stable_partition(order.begin(), order.end(), [](std::uint8_t c) { return !alphanumeric(c); });
    return order;
}

}  // namespace

std::optional<std::uint8_t> UserCharacterSlots::codeOf(char32_t character) const {
    const auto it = std::ranges::find(slots_, character, &Slot::character);
    if (it == slots_.end()) return std::nullopt;
    return it->code;
}

std::optional<char32_t> UserCharacterSlots::characterAt(std::uint8_t code) const {
    const auto it = std::ranges::find(slots_, code, &Slot::code);
    if (it == slots_.end()) return std::nullopt;
    return it->character;
}

UserCharacterSlots::Outcome UserCharacterSlots::assign(
    std::span<const char32_t> wanted, const UserCharacterRules& rules, std::span<const std::uint8_t> avoid) {
    Outcome outcome;
    const std::uint64_t now = ++clock_;
    const auto isWanted = [&](char32_t c) { return std::ranges::find(wanted, c) != wanted.end(); };
    for (Slot& slot : slots_) {
        if (isWanted(slot.character)) slot.lastUsed = now;
    }
    const auto avoided = [&](std::uint8_t code) { return std::ranges::find(avoid, code) != avoid.end(); };
    const std::vector<std::uint8_t> order = codeOrder(rules);
    for (const char32_t character : wanted) {
        if (codeOf(character)) continue;
        std::optional<std::uint8_t> code;
        if (std::cmp_less(slots_.size(), rules.budget)) {
            // A free code, one not to avoid if there is such.
            for (const bool strict : {true, false}) {
                if (!strict && !rules.switched) break;
                for (const std::uint8_t c : order) {
                    if (!characterAt(c) && !(strict && avoided(c))) {
                        code = c;
                        break;
                    }
                }
                if (code) break;
            }
        }
        Slot* victim = nullptr;
        if (!code) {
            // The least recently used character that is not wanted now.
            for (Slot& slot : slots_) {
                if (slot.lastUsed == now || (!rules.switched && avoided(slot.code))) continue;
                if (victim == nullptr || slot.lastUsed < victim->lastUsed) victim = &slot;
            }
            if (victim == nullptr) {
                outcome.refused.push_back(character);
                continue;
            }
            code = victim->code;
            victim->character = character;
            victim->lastUsed = now;
        } else {
            const auto at = std::ranges::find_if(slots_, [&](const Slot& s) { return s.code > *code; });
            slots_.insert(at, Slot{*code, character, now});
        }
        outcome.defined.push_back(Slot{*code, character, now});
    }
    std::ranges::sort(outcome.defined, {}, &Slot::code);
    return outcome;
}

}  // namespace model

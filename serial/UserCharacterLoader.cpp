#include "serial/UserCharacterLoader.h"

#include <algorithm>

namespace serial {

UserCharacterLoader::UserCharacterLoader(const model::CommandSet& set, const lettering::Font& font)
    : set_(&set),
      repertoire_(&model::repertoireOf(set)),
      font_(&font),
      planner_(set, *repertoire_),
      // The repertoire has user characters only where the set can define them.
      shaper_([this](char32_t c) { return planner_.canShow(c); }, repertoire_->user.budget, font) {}

UserCharacterLoader::Loading UserCharacterLoader::load(
    ShadowState& state, const model::DisplayModel& target) const {
    Loading loading{target, {}, {}};
    const std::int32_t rows = target.deviceRows();
    const std::int32_t columns = target.deviceColumns();
    std::vector<char32_t> wanted;
    std::vector<std::uint8_t> avoid;
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t c = 0; c < columns; ++c) {
            const char32_t ch = target.shownCell(r, c).character;
            if (planner_.canShow(ch)) {
                // Codes the picture writes as themselves are best left to them.
                if (ch >= 0x20 && ch < 0x7F) avoid.push_back(static_cast<std::uint8_t>(ch));
            } else if (shaper_.asUserCharacter(ch) && std::ranges::find(wanted, ch) == wanted.end()) {
                wanted.push_back(ch);
            }
        }
    }
    if (wanted.empty()) return loading;
    const model::UserCharacterSlots::Outcome outcome =
        state.userCharacters.assign(wanted, repertoire_->user, avoid);

    for (const model::UserCharacterSlots::Slot& slot : outcome.defined) {
        loading.fallbacks.push_back({lettering::Fallback::Kind::userCharacter,
            std::u32string(1, slot.character), std::u32string(1, slot.character), slot.code});
    }
    const auto glyphOf = [&](char32_t c) { return font_->glyph(c).value_or(lettering::Glyph{}); };
    if (repertoire_->user.layout == model::GlyphLayout::rows5x7) {
        // One character a command: its 35 dots row by row, dot 1 (top
        // left) in bit 0 of the first byte.
        for (const model::UserCharacterSlots::Slot& slot : outcome.defined) {
            const lettering::Glyph glyph = glyphOf(slot.character);
            std::string arguments(6, '\0');
            arguments[0] = static_cast<char>(slot.code);
            for (unsigned dot = 0; dot < 35; ++dot) {
                if ((glyph[dot % 5] >> (dot / 5)) & 1u)
                    arguments[1 + dot / 8] = static_cast<char>(arguments[1 + dot / 8] | (1 << (dot % 8)));
            }
            loading.bytes += model::encode(*set_, model::Command::defineUserCharacter, arguments);
        }
    } else {
        // Five column bytes a character; one command per stretch of consecutive codes.
        for (std::size_t i = 0; i < outcome.defined.size();) {
            std::size_t end = i + 1;
            while (end < outcome.defined.size() &&
                   outcome.defined[end].code == outcome.defined[end - 1].code + 1)
                ++end;
            std::string arguments{'\x01', static_cast<char>(outcome.defined[i].code),
                static_cast<char>(outcome.defined[end - 1].code)};
            for (std::size_t k = i; k < end; ++k) {
                for (const std::uint8_t column : glyphOf(outcome.defined[k].character))
                    arguments += static_cast<char>(column);
            }
            loading.bytes += model::encode(*set_, model::Command::defineUserCharacters, arguments);
            i = end;
        }
    }
    for (const char32_t refused : outcome.refused) {
        lettering::Fallback instead = shaper_.singleCell(refused);
        for (std::int32_t r = 0; r < rows; ++r) {
            for (std::int32_t c = 0; c < columns; ++c) {
                if (loading.picture.shownCell(r, c).character != refused) continue;
                // Cells are replaced in the device's frame; the windows' buffers keep the character.
                model::Cell cell = loading.picture.shownCell(r, c);
                cell.character = instead.shown.front();
                loading.picture.replaceShownCell(r, c, cell);
            }
        }
        loading.fallbacks.push_back(std::move(instead));
    }
    return loading;
}

}  // namespace serial

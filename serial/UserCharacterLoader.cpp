#include "serial/UserCharacterLoader.h"

#include <algorithm>

namespace serial {

UserCharacterLoader::UserCharacterLoader(const model::CommandSet& set, const lettering::Font& font)
    : set_(&set),
      repertoire_(&model::repertoireOf(set)),
      font_(&font),
      planner_(set, *repertoire_),
      shaper_([this](char32_t c) { return planner_.canShow(c); },
          model::writerForm(set, model::Command::defineUserCharacters) != nullptr ? repertoire_->user.budget
                                                                                  : 0,
          font) {}

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
    // One define command per stretch of consecutive codes.
    for (std::size_t i = 0; i < outcome.defined.size();) {
        std::size_t end = i + 1;
        while (end < outcome.defined.size() && outcome.defined[end].code == outcome.defined[end - 1].code + 1)
            ++end;
        std::string arguments{'\x01', static_cast<char>(outcome.defined[i].code),
            static_cast<char>(outcome.defined[end - 1].code)};
        for (std::size_t k = i; k < end; ++k) {
            const lettering::Glyph glyph =
                font_->glyph(outcome.defined[k].character).value_or(lettering::Glyph{});
            for (const std::uint8_t column : glyph) arguments += static_cast<char>(column);
        }
        loading.bytes += model::encode(*set_, model::Command::defineUserCharacters, arguments);
        i = end;
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

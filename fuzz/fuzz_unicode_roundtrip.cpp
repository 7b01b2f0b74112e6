// Fuzz target: random Unicode text through the serial displays' writer and
// back through the virtual display's reader.
//
// The first byte picks the command set; the rest is a series of writes: a
// position byte (row and column), a length byte, then that many characters,
// each one byte into a pool that mixes ASCII, the letters of many code pages
// and national sets, Greek, Cyrillic, symbols, characters no display has and
// control characters, or (with the pool's last index) two bytes of any BMP
// code point. Each write is laid out as the display lays out Unicode text,
// written into the picture, its user characters loaded and the update's
// bytes fed to the reader. Checked: the reader shows the writer's own model
// of the glass cell for cell (a user character by its dots, which must be
// the font's for the character), it finds no fault in the bytes, and every
// cell holds a character the display can show.
#include "FuzzInput.h"
#include "emulator/VirtualDisplay.h"
#include "lettering/Font.h"
#include "model/CharacterPlanner.h"
#include "model/CharacterSets.h"
#include "serial/ScreenWriter.h"
#include "serial/UserCharacterLoader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::array<char32_t, 63> pool{U' ', U'A', U'z', U'5', U'@', U'#', U'[', U'~', U'?', U'é', U'ß',
    U'ü', U'Ä', U'ø', U'Å', U'ñ', U'¿', U'ç', U'œ', U'Œ', U'ł', U'ż', U'ř', U'ő', U'ğ', U'ı', U'İ', U'ş',
    U'ã', U'ê', U'Ж', U'я', U'ё', U'Щ', U'Ω', U'λ', U'έ', U'Σ', U'€', U'£', U'¥', U'₧', U'₩', U'¤', U'§',
    U'¨', U'°', U'µ', U'½', U'░', U'╬', U'α', U'中', U'😀', U'\t', U'\u007f', U'\u0085', U'\u00a0', U'\u2019',
    U'\u201c', U'\u2026', U'\ufffd', 0};

// The writer's parts for each command set, made once: they are constant.
struct Parts {
    explicit Parts(const model::CommandSet& set)
        : writer(set, 2, 20), loader(set), planner(set, model::repertoireOf(set)) {}
    serial::ScreenWriter writer;
    serial::UserCharacterLoader loader;
    model::CharacterPlanner planner;
};

const Parts& partsFor(std::size_t index) {
    static std::vector<std::unique_ptr<Parts>> made;
    const auto sets = model::commandSets();
    if (made.empty()) {
        for (const model::CommandSet& set : sets) made.push_back(std::make_unique<Parts>(set));
    }
    return *made[index];
}

// Enough writes to load, reuse and replace user characters; more only slow the search.
constexpr int mostWrites = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto sets = model::commandSets();
    const model::CommandSet& set = sets[data[0] % sets.size()];
    const Parts& parts = partsFor(data[0] % sets.size());
    const serial::ScreenWriter& writer = parts.writer;
    const serial::UserCharacterLoader& loader = parts.loader;
    const model::CharacterPlanner& planner = parts.planner;
    const lettering::Font& font = lettering::Font::standard();

    serial::ShadowState state = writer.afterInitialise();
    model::DisplayModel wanted(2, 20);
    wanted.setCharacterSet(model::charSetUnicode);
    emulator::VirtualDisplay reader(set);
    reader.feed(writer.initialiseBytes());

    std::size_t at = 1;
    for (int writes = 0; writes < mostWrites && at + 2 <= size; ++writes) {
        const std::uint8_t position = data[at++];
        const std::size_t length = data[at++] % 48;
        std::u32string text;
        for (std::size_t i = 0; i < length && at < size; ++i) {
            const std::uint8_t pick = data[at++];
            char32_t c = pool[pick % pool.size()];
            if (c == 0 && at + 1 < size) {
                c = static_cast<char32_t>(data[at] | (data[at + 1] << 8));
                at += 2;
            }
            // What the control object passes on: printable characters only.
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF)) c = U'?';
            text += c;
        }
        wanted.setCursor((position >> 7) & 1, (position & 0x7F) % 20);
        wanted.writeText(loader.shaper().shape(text).text, model::attribute::normal, true);

        serial::UserCharacterLoader::Loading loading = loader.load(state, wanted);
        const serial::Update update = writer.update(state, loading.picture);
        reader.feed(loading.bytes + update.bytes);
        state = update.after;

        for (std::int32_t r = 0; r < 2; ++r) {
            for (std::int32_t col = 0; col < 20; ++col) {
                const char32_t want = state.picture.shownCell(r, col).character;
                const char32_t got = reader.model().shownCell(r, col).character;
                const auto user = state.userCharacters.codeOf(want);
                bool same = got == want;
                if (got >= emulator::userCharacterBase && got <= emulator::userCharacterBase + 0xFF) {
                    const auto code = static_cast<std::uint8_t>(got - emulator::userCharacterBase);
                    const auto& defined = reader.state().userCharacters;
                    same = user == code && defined.contains(code) && font.glyph(want) == defined.at(code);
                }
                if (!same) {
                    fuzz::fuzzFail("cell " + std::to_string(r) + "," + std::to_string(col) + " reads U+" +
                                   std::to_string(got) + " where the writer shows U+" + std::to_string(want) +
                                   "\n" + reader.describe());
                }
                if (!planner.canShow(want) && !user && want != U'?')
                    fuzz::fuzzFail(
                        "the glass holds U+" + std::to_string(want) + ", which the display cannot show");
            }
        }
        if (reader.faultCount() != 0) fuzz::fuzzFail("the reader found faults:\n" + reader.describe());
    }
    return 0;
}

// The screen writer against a display: random scripts of operations, the
// writer's bytes read back by an interpreter of the documented command
// tables, and after every operation the interpreted display must show
// exactly the picture wanted, with its cursor where the model has it while
// the cursor is visible. Where the documents leave something open (the
// cursor after clearing), the interpreter picks at random, so a writer that
// relies on it fails.
#include "device/ServiceObject.h"
#include "model/CharacterSets.h"
#include "serial/ScreenWriter.h"

#include <gtest/gtest.h>

#include <random>

using namespace model;
using model::Command;

namespace {

class Interpreter {
public:
    Interpreter(const model::CommandSet& set, int rows, int columns, std::mt19937& random)
        : set_(set),
          rows_(rows),
          columns_(columns),
          cells_(static_cast<std::size_t>(rows * columns), ' '),
          random_(random) {}

    // Feeds bytes; returns a description of the first thing that is not
    // sound (unknown bytes, a move off the edge), or empty.
    std::string feed(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto m = model::matchAt(set_, bytes);
            if (m.kind == model::Match::Kind::incomplete) return "incomplete command at the end";
            if (m.kind == model::Match::Kind::unknown) return "unknown byte";
            if (m.kind == model::Match::Kind::character) {
                cells_[static_cast<std::size_t>(cursor_)] = bytes.front();
                cursor_ = (cursor_ + 1) % (rows_ * columns_);  // overwrite mode wraps
            } else if (std::string problem = run(m.form->command, model::argumentsOf(m, bytes));
                       !problem.empty()) {
                return problem;
            }
            bytes.remove_prefix(m.length);
        }
        return {};
    }
    const std::string& cells() const { return cells_; }
    int cursor() const { return cursor_; }
    bool cursorOn() const { return cursorOn_; }

private:
    std::string run(Command command, std::string_view args) {
        const int row = cursor_ / columns_, column = cursor_ % columns_;
        switch (command) {
        case Command::initialise:
            cells_.assign(cells_.size(), ' ');
            cursor_ = 0;
            return {};
        case Command::clearScreen:
            cells_.assign(cells_.size(), ' ');
            cursor_ = static_cast<int>(random_() % cells_.size());  // not documented: anywhere
            return {};
        case Command::home: cursor_ = 0; return {};
        case Command::leftmost: cursor_ = row * columns_; return {};
        case Command::rightmost: cursor_ = row * columns_ + columns_ - 1; return {};
        case Command::bottomLeft: cursor_ = (rows_ - 1) * columns_; return {};
        case Command::cursorLeft:
            if (column == 0) return "left at a row's start";
            --cursor_;
            return {};
        case Command::cursorUp:
            if (row == 0) return "up from the top row";
            cursor_ -= columns_;
            return {};
        case Command::cursorDown:
            if (row + 1 == rows_) return "down from the bottom row";
            cursor_ += columns_;
            return {};
        case Command::moveTo: {
            const int x = static_cast<unsigned char>(args[0]), y = static_cast<unsigned char>(args[1]);
            if (x < 1 || x > columns_ || y < 1 || y > rows_) return "move outside the display";
            cursor_ = (y - 1) * columns_ + x - 1;
            return {};
        }
        case Command::cursorVisible: cursorOn_ = args[0] != 0; return {};
        case Command::overwriteMode:
        case Command::brightness:
        case Command::codeTable:
        case Command::blink:
        case Command::reverse: return {};
        default: return "a command the writer should not send";
        }
    }

    const model::CommandSet& set_;
    int rows_, columns_;
    std::string cells_;
    int cursor_ = 0;
    bool cursorOn_ = true;
    std::mt19937& random_;
};

void checkRandomScripts(const model::CommandSet& set, int rows, int columns) {
    std::mt19937 random(20261208);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    serial::ScreenWriter writer(set, rows, columns);
    Interpreter display(set, rows, columns, random);
    DisplayModel model(rows, columns);
    model.setCharacterSet(437);
    ASSERT_EQ(display.feed(writer.initialiseBytes()), "");
    serial::ShadowState state = writer.afterInitialise();
    const std::u32string alphabet = U"abcXYZ 019.-\u00E9\u00FC";
    for (int step = 0; step < 400; ++step) {
        DisplayOp op;
        switch (pick(6)) {
        case 0: op = op::Clear{}; break;
        case 1: op = op::SetCursor{pick(rows), pick(columns)}; break;
        case 2: op = op::CursorType{pick(2) ? cursor::underline : cursor::none}; break;
        case 3: op = op::Brightness{20 * (1 + pick(5))}; break;
        default: {
            std::u32string text;
            for (int n = pick(columns * rows + 5); n > 0; --n) {
                text += alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))];
            }
            op = op::Text{text, attribute::normal, true};
        }
        }
        applyTo(model, op);
        const serial::Update update = writer.update(state, model);
        ASSERT_EQ(display.feed(update.bytes), "") << set.name << " step " << step;
        state = update.after;
        std::u32string shown;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) shown += model.shownCell(r, c).character;
        }
        ASSERT_EQ(display.cells(), toCodePage(shown, 437)) << set.name << " step " << step;
        const bool visible = model.cursorType() != cursor::none;
        ASSERT_EQ(display.cursorOn(), visible) << set.name << " step " << step;
        if (visible) {
            ASSERT_EQ(display.cursor(), writer.cursorCell(model).value()) << set.name << " step " << step;
        }
        // What the writer believes about the cursor is true.
        if (state.cursor) {
            ASSERT_EQ(display.cursor(), *state.cursor) << set.name << " step " << step;
        }
    }
}

}  // namespace

TEST(ScreenWriter, randomScriptsShowExactlyTheModelOnBothCommandSets) {
    checkRandomScripts(model::dmD(), 2, 20);
    checkRandomScripts(model::cd5220(), 2, 20);
}

TEST(ScreenWriter, otherSizesToo) {
    checkRandomScripts(model::dmD(), 4, 40);
    checkRandomScripts(model::cd5220(), 1, 16);
}

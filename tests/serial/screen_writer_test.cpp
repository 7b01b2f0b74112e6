// The screen writer against a display: random scripts of operations, the
// writer's bytes read back by an interpreter of the documented command
// tables, and after every operation the interpreted display must show
// exactly the picture wanted, with its cursor where the model has it while
// the cursor is visible. Where the documents leave something open (the
// cursor after clearing), the interpreter picks at random, so a writer that
// relies on it fails.
#include "device/ServiceObject.h"
#include "model/CharacterSets.h"
#include "model/Hex.h"
#include "serial/ScreenWriter.h"

#include <gtest/gtest.h>

#include <random>

using namespace model;
using model::Command;

namespace {

// A display that does what the documents establish and, where they leave
// something open, one of the readings at random: the cursor after a clear,
// an erase or a row write; whether a short row write blanks the rest of the
// row; where the ANSI set's cursor goes after the last column.
class Interpreter {
public:
    Interpreter(const model::CommandSet& set, int rows, int columns, std::mt19937& random)
        : set_(&set),
          rows_(rows),
          columns_(columns),
          cells_(static_cast<std::size_t>(rows * columns), ' '),
          random_(random) {}

    // Feeds bytes; returns a description of the first thing that is not
    // sound (unknown bytes, a move off the edge, text that would be lost),
    // or empty.
    std::string feed(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto m = model::matchAt(*set_, bytes, set_->attention, columns_);
            if (m.kind == model::Match::Kind::incomplete) return "incomplete command at the end";
            if (m.kind == model::Match::Kind::unknown) return "unknown byte";
            if (m.kind == model::Match::Kind::character) {
                if (std::string problem = write(bytes.front()); !problem.empty()) return problem;
            } else if (!m.closed) {
                return "text cut short by another command (the attention-code trap)";
            } else if (std::string problem = run(*m.form, m, bytes.substr(0, m.length)); !problem.empty()) {
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
    int anywhere() { return static_cast<int>(random_() % cells_.size()); }
    bool coin() { return (random_() & 1u) != 0; }

    std::string write(char byte) {
        if (set_->behaviour.passThrough) return "text outside a command goes to the printer port";
        if (cursor_ < 0) return "a character at an unknown cursor";
        if (mode_ != model::Mode::overwrite) return "a character in a scroll mode";
        cells_[static_cast<std::size_t>(cursor_)] = byte;
        if (cursor_ % columns_ + 1 < columns_) {
            ++cursor_;
        } else if (set_->behaviour.wrapsAtRowEnd) {
            cursor_ = (cursor_ + 1) % (rows_ * columns_);  // overwrite mode wraps
        } else {
            cursor_ = coin() ? cursor_ : anywhere();  // not established
        }
        return {};
    }

    // A row write: the data, then the rest of the row kept or blanked.
    std::string writeRows(int row, std::string_view data, int rowsWritten) {
        if (data.size() > static_cast<std::size_t>(columns_ * rowsWritten)) return "row text too long";
        const std::string_view attention = set_->attention;
        if (!attention.empty() && data.find(attention) != std::string_view::npos)
            return "the attention code inside text";
        const bool blankRest = coin();
        for (int c = 0; c < columns_ * rowsWritten; ++c) {
            char& cell = cells_[static_cast<std::size_t>(row * columns_ + c)];
            if (static_cast<std::size_t>(c) < data.size()) {
                cell = data[static_cast<std::size_t>(c)];
            } else if (blankRest) {
                cell = ' ';
            }
        }
        cursor_ = anywhere();
        return {};
    }

    int afterClear(model::CursorAfter after) {
        if (after == model::CursorAfter::home) return 0;
        return after == model::CursorAfter::stays ? cursor_ : anywhere();
    }

    std::string run(const model::CommandForm& form, const model::Match& m, std::string_view bytes) {
        const std::string_view args = model::argumentsOf(m, bytes);
        const int row = cursor_ / columns_, column = cursor_ % columns_;
        const bool known = cursor_ >= 0;
        const auto needCursor = [&]() -> std::string {
            return known ? "" : "a relative move from an unknown cursor";
        };
        switch (form.command) {
        case Command::initialise:
            cells_.assign(cells_.size(), ' ');
            cursor_ = 0;
            mode_ = set_->behaviour.powerOnMode;
            return {};
        case Command::clearScreen:
            cells_.assign(cells_.size(), ' ');
            cursor_ = afterClear(set_->behaviour.afterClear);
            return {};
        case Command::clearLine:
            if (!known) return needCursor();
            std::fill_n(cells_.begin() + static_cast<std::ptrdiff_t>(row) * columns_, columns_, ' ');
            cursor_ = afterClear(set_->behaviour.afterClearLine);
            return {};
        case Command::clearToEndOfRow:
            if (!known) return needCursor();
            std::fill(cells_.begin() + cursor_,
                cells_.begin() + static_cast<std::ptrdiff_t>(row + 1) * columns_, ' ');
            cursor_ = afterClear(set_->behaviour.afterClearLine);
            return {};
        case Command::home: cursor_ = 0; return {};
        case Command::leftmost:
            if (!known) return needCursor();
            cursor_ = row * columns_;
            return {};
        case Command::rightmost:
            if (!known) return needCursor();
            cursor_ = row * columns_ + columns_ - 1;
            return {};
        case Command::bottomLeft: cursor_ = (rows_ - 1) * columns_; return {};
        case Command::cursorLeft: {
            if (!known) return needCursor();
            const bool erases = set_->behaviour.backspace == model::Backspace::erasesAndWraps;
            if (column > 0) {
                --cursor_;
            } else if (erases && rows_ == 2) {
                cursor_ = (1 - row) * columns_ + columns_ - 1;  // (1,2) to (20,1), (1,1) to (20,2)
            } else {
                return "left at a row's start";
            }
            if (erases) cells_[static_cast<std::size_t>(cursor_)] = ' ';
            return {};
        }
        case Command::cursorUp:
            if (!known) return needCursor();
            if (row == 0) return "up from the top row";
            cursor_ -= columns_;
            return {};
        case Command::cursorDown: {
            if (!known) return needCursor();
            if (row + 1 < rows_) {
                cursor_ += columns_;
                return {};
            }
            // On the last row: a scroll, or on two rows "the other row".
            const bool otherRow = set_->behaviour.lineFeed == model::LineFeed::otherRowOrScroll;
            if (otherRow && mode_ == model::Mode::overwrite && rows_ == 2) {
                cursor_ = column;
                return {};
            }
            const bool scrolls = set_->behaviour.lineFeed == model::LineFeed::scrolls ||
                                 (otherRow && mode_ == model::Mode::verticalScroll);
            if (!scrolls) return "down from the bottom row";
            cells_.erase(0, static_cast<std::size_t>(columns_));
            cells_.append(static_cast<std::size_t>(columns_), ' ');
            return {};
        }
        case Command::moveTo: {
            const auto place = model::decodeMove(*set_, m, bytes, columns_);
            if (!place || place->row < 0 || place->row >= rows_ || place->column < 0 ||
                place->column >= columns_)
                return "move outside the display";
            cursor_ = place->row * columns_ + place->column;
            return {};
        }
        case Command::cursorVisible:
            cursorOn_ = form.implied >= 0 ? form.implied == 1 : args[0] != 0;
            return {};
        case Command::overwriteMode: mode_ = model::Mode::overwrite; return {};
        case Command::verticalScrollMode: mode_ = model::Mode::verticalScroll; return {};
        case Command::writeUpperRow: return writeRows(0, args, 1);
        case Command::writeLowerRow: return writeRows(rows_ - 1, args, 1);
        case Command::writeBothRows: return writeRows(0, args, 2);
        case Command::enhancedMode:
        case Command::standardMode:
            if ((form.command == Command::enhancedMode) != set_->behaviour.passThrough)
                set_ = model::findCommandSet(set_->partner);
            return {};
        case Command::brightness:
        case Command::codeTable:
        case Command::blink:
        case Command::reverse:
        case Command::blinkCharacters: return {};
        default: return "a command the writer should not send";
        }
    }

    const model::CommandSet* set_;
    int rows_, columns_;
    std::string cells_;
    int cursor_ = 0;
    bool cursorOn_ = true;
    model::Mode mode_ = model::Mode::overwrite;
    std::mt19937& random_;
};

void checkRandomScripts(const model::CommandSet& set, int rows, int columns) {
    SCOPED_TRACE(std::string(set.name) + " " + std::to_string(rows) + "x" + std::to_string(columns));
    std::mt19937 random(20261208);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    serial::ScreenWriter writer(set, rows, columns);
    Interpreter display(set, rows, columns, random);
    DisplayModel model(rows, columns);
    model.setCharacterSet(437);
    ASSERT_EQ(display.feed(writer.initialiseBytes()), "");
    serial::ShadowState state = writer.afterInitialise();
    const bool cursorSet = !model::wholeRows(set);
    const std::u32string alphabet = U"abcXYZ 019.-\u00E9\u00FC";
    for (int step = 0; step < 400; ++step) {
        DisplayOp op;
        switch (pick(7)) {
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
        ASSERT_EQ(display.feed(update.bytes), "") << "step " << step << ": " << model::hexBytes(update.bytes);
        state = update.after;
        std::u32string shown;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) shown += model.shownCell(r, c).character;
        }
        ASSERT_EQ(display.cells(), toCodePage(shown, 437))
            << "step " << step << ": " << model::hexBytes(update.bytes);
        if (!cursorSet) continue;
        const bool visible =
            model.cursorType() != cursor::none && model::writerForm(set, Command::cursorVisible);
        if (model::writerForm(set, Command::cursorVisible)) {
            ASSERT_EQ(display.cursorOn(), visible) << "step " << step;
        }
        if (visible) {
            ASSERT_EQ(display.cursor(), writer.cursorCell(model).value()) << "step " << step;
        }
        // What the writer believes about the cursor is true.
        if (state.cursor) {
            ASSERT_EQ(display.cursor(), *state.cursor) << "step " << step;
        }
    }
}

}  // namespace

TEST(ScreenWriter, randomScriptsShowExactlyTheModelOnEveryCommandSet) {
    for (const model::CommandSet& set : model::commandSets()) checkRandomScripts(set, 2, 20);
}

TEST(ScreenWriter, otherSizesToo) {
    for (const model::CommandSet& set : model::commandSets()) {
        if (model::wholeRows(set)) {
            checkRandomScripts(set, 1, 16);
        } else {
            checkRandomScripts(set, 4, 40);
            checkRandomScripts(set, 1, 16);
        }
    }
}

TEST(ScreenWriter, textHoldingTheAttentionCodeNeverTurnsIntoACommand) {
    const model::CommandSet& aedex = *model::findCommandSet("AEDEX");
    serial::ScreenWriter writer(aedex, 2, 20);
    DisplayModel model(2, 20);
    model.setCharacterSet(437);
    model.writeText(U"Win!#1 prize", attribute::normal, true);
    const serial::Update update = writer.update(writer.afterInitialise(), model);
    // Both rows at once (the picture is not known yet), "!#" broken up.
    EXPECT_EQ(update.bytes, "!#9Win!?1 prize" + std::string(28, ' ') + "\x0D");
}

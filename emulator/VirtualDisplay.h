// The virtual display's reader: turns the byte stream a serial line display
// receives into what the display shows.
//
// It reads one command set (model::CommandSet: the same table the serial
// service objects write with) and applies each command by the hardware's own
// rules, not the Line Display class's: overwrite mode wraps (20,1) to (1,2)
// and (20,2) to (1,1); vertical scroll mode moves row 2 up when a character
// is written past (20,2); horizontal scroll mode shifts the row left at its
// end. Cells, cursor and brightness live in a model::DisplayModel; the
// protocol state the model lacks (mode, whole-display blink, cursor
// visibility, reverse, code table, user characters) lives in PanelState.
// Bytes show what the set's repertoire says: the code table's upper half,
// the international set's lower half, or a user character while those are
// selected (such a cell holds userCharacterBase + its code, drawn from the
// definition the panel has when it paints).
// Unknown and malformed sequences are kept in a short list for the status
// line rather than ignored. A marquee is shown statically on the upper row.
//
// Commands may arrive split across any number of feed() calls. A plain value
// type; not thread-safe by itself.
#pragma once

#include "model/CommandSet.h"
#include "model/DisplayModel.h"
#include "model/Repertoire.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace emulator {

enum class Mode : std::uint8_t { overwrite, verticalScroll, horizontalScroll };

// A user character: 5 column bytes, bit 0 the top dot of the 7.
using Glyph = std::array<std::uint8_t, 5>;

// Cells showing a user character hold this code point plus the byte's code.
inline constexpr char32_t userCharacterBase = 0xF000;

struct PanelState {
    Mode mode = Mode::overwrite;
    std::int32_t blinkInterval = 0;  // whole display: n x 50 ms on, n x 50 ms off; 0 steady
    bool displayOn = true;
    bool cursorVisible = true;          // displays power up with the cursor shown
    bool reverse = false;               // characters written from now on are reversed
    std::int32_t codeTable = 0;         // the display's table number (1B 74 n)
    std::int32_t internationalSet = 0;  // the national variant of ASCII, by the set's own argument
    std::int32_t characterSet = 437;    // the code page of the upper half (a CharacterSet value)
    bool userCharactersSelected = false;
    std::map<std::uint8_t, Glyph> userCharacters;
    bool selected = true;  // 1B 3D n: false while only the printer on a shared line is addressed
    std::string marquee;   // the last marquee text, as bytes
    friend bool operator==(const PanelState&, const PanelState&) = default;
};

// A sequence the display could not use.
struct Fault {
    std::string bytes;   // the bytes taken as the bad sequence
    std::string reason;  // e.g. "unknown sequence", "column 25 outside 1..20"
};

class VirtualDisplay {
public:
    static constexpr std::size_t keptFaults = 8;

    // A display of this size, powered up, reading this command set.
    explicit VirtualDisplay(const model::CommandSet& set, std::int32_t rows = 2, std::int32_t columns = 20);

    // Reads bytes from the line; returns whether anything shown changed
    // (cells, cursor, brightness, blink, faults).
    bool feed(std::string_view bytes);

    const model::CommandSet& commandSet() const { return *set_; }
    const model::DisplayModel& model() const { return model_; }
    const PanelState& state() const { return state_; }
    // The last few faults, oldest first, and how many there were in all.
    const std::deque<Fault>& faults() const { return faults_; }
    std::size_t faultCount() const { return faultCount_; }
    // Bytes received that do not yet make a whole command.
    std::size_t pendingBytes() const { return pending_.size(); }

    // The rows as UTF-8 text, one string per row.
    std::vector<std::string> rowsText() const;
    // A plain-text picture of the screen and state, ending with "end\n": what
    // the headless program prints after every change.
    std::string describe() const;

private:
    // Applies one whole command; returns false with the reason if its
    // arguments are out of range.
    bool apply(const model::Match& match, std::string_view bytes, std::string& reason);
    void putCharacter(unsigned char byte);
    void putCell(std::int32_t row, std::int32_t column, model::Cell cell);
    void writeRow(std::int32_t row, std::string_view data);
    void moveRight();
    void moveDown();
    void scrollUp();
    void clearRow(std::int32_t row);
    void powerUp();
    void fault(std::string_view bytes, std::string reason);
    char32_t characterOf(unsigned char byte) const;

    const model::CommandSet* set_;
    const model::Repertoire* repertoire_;
    model::DisplayModel model_;
    PanelState state_;
    std::string pending_;
    std::deque<Fault> faults_;
    std::size_t faultCount_ = 0;
    std::string stringEnders_;  // bytes that end a row or marquee text besides 0D
};

}  // namespace emulator

// The virtual display's reader: turns the byte stream a serial line display
// receives into what the display shows.
//
// It reads one command set (model::CommandSet: the same table the serial
// service objects write with) and applies each command by the set's own
// rules (model::Behaviour), not the Line Display class's: overwrite mode
// wraps (20,1) to (1,2) and (20,2) to (1,1); vertical scroll mode moves the
// rows up when a character is written past (20,2); a backspace erases or not;
// a line feed on the last row scrolls, wraps or goes to the other row; clear
// leaves the cursor where the set's display leaves it. Cells, cursor and
// brightness live in a model::DisplayModel; the protocol state the model
// lacks (mode, blink, cursor visibility, reverse, code table, user
// characters, attention code, marquee, clock) lives in PanelState. Bytes
// show what the set's repertoire says: the code table's upper half, the
// international set's lower half, or a user character (a cell holding one
// holds userCharacterBase + its code, drawn from the definition the panel
// has when it paints).
//
// What the documents leave open is read one way, the one a real display is
// most likely to take (see README): a short row write blanks the rest of the
// row; the ANSI set does not wrap past column 20; clearing leaves the cursor
// at home where the set does not say.
//
// Sets with an attention code (AEDEX, UTC enhanced) take a command wherever
// their current attention code and a function byte appear, inside row text
// too, and pass every other byte to their printer port: those bytes are kept
// in a short list for the status line, never shown. Unknown and malformed
// sequences are kept in another list rather than ignored. A set that answers
// (the ANSI set's identification request) leaves its answer in replies();
// the echo of that answer starts its self-test.
//
// Time is passed in: advance() moves a marquee, runs the clock and ends the
// self-test. Commands may arrive split across any number of feed() calls. A
// plain value type; not thread-safe by itself.
#pragma once

#include "model/CommandSet.h"
#include "model/DisplayModel.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulator {

using Mode = model::Mode;

// A user character: 5 column bytes, bit 0 the top dot of the 7.
using Glyph = std::array<std::uint8_t, 5>;

// Cells showing a user character hold this code point plus the byte's code.
inline constexpr char32_t userCharacterBase = 0xF000;

// A marquee: text moving through one row, one cell a step.
struct Marquee {
    std::string text;  // as bytes
    std::int32_t row = 0;
    bool rightward = false;
    bool once = false;  // one pass, then it stops showing the text's start
    bool running = false;
    std::int32_t step = 0;         // steps taken
    std::int32_t sinceStepMs = 0;  // time since the last step
    friend bool operator==(const Marquee&, const Marquee&) = default;
};

struct PanelState {
    Mode mode = Mode::overwrite;
    std::int32_t blinkInterval = 0;  // whole display: n x 50 ms on, n x 50 ms off; 0 steady
    bool displayOn = true;
    bool cursorVisible = true;          // displays power up with the cursor shown
    bool reverse = false;               // characters written from now on are reversed
    bool blinkCharacters = false;       // characters written from now on blink
    std::int32_t codeTable = 0;         // the display's table number (1B 74 n)
    std::int32_t internationalSet = 0;  // the national variant of ASCII, by the set's own argument
    std::int32_t characterSet = 437;    // the code page of the upper half (a CharacterSet value)
    std::int32_t font = 0;              // kept, no known effect
    bool userCharactersSelected = false;
    std::map<std::uint8_t, Glyph> userCharacters;
    bool selected = true;   // 1B 3D n: false while only the printer on a shared line is addressed
    std::string marquee;    // the last marquee text, as bytes
    Marquee moving;         // the marquee as it runs
    std::string attention;  // the attention code commands begin with now
    std::optional<std::int32_t> clockMinutes;  // the clock on the lower row, minutes after midnight
    std::int32_t clockMs = 0;                  // time into the clock's current minute
    std::int32_t selfTestMs = 0;               // time the self-test still runs; 0: none
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
    static constexpr std::size_t keptPassedThrough = 40;
    static constexpr std::int32_t marqueeStepMs = 250;  // four cells a second
    static constexpr std::int32_t selfTestMs = 15000;

    // A display of this size, powered up, reading this command set.
    explicit VirtualDisplay(const model::CommandSet& set, std::int32_t rows = 2, std::int32_t columns = 20);

    // Reads bytes from the line; returns whether anything shown changed
    // (cells, cursor, brightness, blink, faults, bytes passed through).
    bool feed(std::string_view bytes);
    // Lets time pass: marquees move, the clock runs, a self-test ends.
    // Returns whether anything shown changed.
    bool advance(std::chrono::milliseconds elapsed);

    // The set it reads now (a UTC display switches between its two modes).
    const model::CommandSet& commandSet() const { return *set_; }
    const model::DisplayModel& model() const { return model_; }
    const PanelState& state() const { return state_; }
    // The last few faults, oldest first, and how many there were in all.
    const std::deque<Fault>& faults() const { return faults_; }
    std::size_t faultCount() const { return faultCount_; }
    // The last bytes a pass-through set sent to its printer port, and how
    // many in all.
    const std::string& passedThrough() const { return passedThrough_; }
    std::size_t passedThroughCount() const { return passedThroughCount_; }
    // Bytes received that do not yet make a whole command.
    std::size_t pendingBytes() const { return pending_.size(); }
    // What the display answered since the last call, to go back on the line.
    std::string takeReplies();

    // What is wrong with the line, for the status line ("sender 19200 8N1,
    // display 9600 8O1"); empty while sender and display are set alike.
    void setLineStatus(std::string status) { lineStatus_ = std::move(status); }
    const std::string& lineStatus() const { return lineStatus_; }

    // The rows as UTF-8 text, one string per row.
    std::vector<std::string> rowsText() const;
    // A plain-text picture of the screen and state, ending with "end\n": what
    // the headless program prints after every change.
    std::string describe() const;
    // A short account of the bytes passed to the printer port, for a status
    // line ("12 bytes passed to the printer port, last: 54 6F ..."), or empty.
    std::string passedThroughText() const;

private:
    // Applies one whole command; returns false with the reason if its
    // arguments are out of range.
    bool apply(const model::Match& match, std::string_view bytes, std::string& reason);
    bool applyText(const model::Match& match, std::string_view args, std::string& reason);
    bool applyMove(const model::Match& match, std::string_view bytes, std::string& reason);
    bool applyUserCharacter(std::string_view args, std::string& reason);
    void putCharacter(unsigned char byte);
    void putCell(std::int32_t row, std::int32_t column, model::Cell cell);
    void writeRow(std::int32_t row, std::string_view data);
    void backspace();
    void moveRight();
    void moveDown();
    void scrollUp();
    void clearCells(std::int32_t fromCell, std::int32_t endCell);
    void powerUp();
    void switchTo(const model::CommandSet& set);
    void startMarquee(const model::CommandForm& form, std::string_view text);
    void drawMarquee();
    void stopMarqueeFor(const model::CommandForm& form, std::int32_t rowBefore);
    void drawClock();
    void drawSelfTest();
    void passThrough(std::string_view bytes);
    void fault(std::string_view bytes, std::string reason);
    char32_t characterOf(unsigned char byte) const;
    // What a byte shows from the display's ROM (user characters aside).
    char32_t romCharacterOf(unsigned char byte) const;

    const model::CommandSet* set_;
    const model::CommandSet* initial_;
    model::DisplayModel model_;
    PanelState state_;
    std::string pending_;
    std::deque<Fault> faults_;
    std::size_t faultCount_ = 0;
    std::string lineStatus_;
    std::string passedThrough_;
    std::size_t passedThroughCount_ = 0;
    std::string replies_;
    std::size_t droppedDuringSelfTest_ = 0;
};

}  // namespace emulator

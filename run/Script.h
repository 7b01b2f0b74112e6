// The script language of ldt-run: what a script says, and its parser.
//
// A script is a list of statements, one per line (or separated by ";"),
// with "#" starting a comment. Two levels meet in one language:
//   Line Display calls by name      Open "TQN730" -> OPOS_SUCCESS
//                                    DeviceEnabled = true
//                                    CursorColumn -> 5
//   the console's buttons by caption type Text4 "Hello"; select "Blink" for "Disp Text"
//                                    press "Disp Text"
// and expectations on what came of them:
//   expect CursorColumn 5            a property's value (the same as CursorColumn -> 5)
//   expect Label34 "0"               a label's text
//   expect screen "Hello" ""         the rows the display shows; expect row 1 "Total"
//   expect cursor 0 5                where its cursor stands
//   expect wire 1F 24 01 02 "Total"  the bytes the last action sent to a serial display
//   expect error "not a number"      the last action failed as a call, with these words
// Values: whole numbers as the console's boxes take them (12, -5, 0x1F,
// &H1F, 2.5 rounds to 2), the result names (OPOS_E_ILLEGAL), true and false,
// strings with escapes (display/Literal.h) and "ab" * N to repeat one, and
// three names for the device under test: DEVICE (its name), ROWS and
// COLUMNS (its size, with an offset as in COLUMNS-1). "@name" before a call
// makes it on a further control instance of that name; unplug and replug
// take the display off its line and back where the target can.
//
// Parsing checks everything that can be known before a call is made (names
// of operations and controls, argument counts and types, captions that
// name one button), so a script that parses can only fail on what the
// device answers. Pure functions; any thread.
#pragma once

#include "display/Operations.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace run {

struct Location {
    std::string file;
    int line = 0;
    int column = 0;
};

// "file:line:column".
std::string describe(const Location& where);

// A script (or pack, or trace) that cannot be read; what() is "file:line:column: message".
class ParseError : public std::runtime_error {
public:
    ParseError(Location where, const std::string& message);
    const Location& where() const { return where_; }
    const std::string& message() const { return message_; }

private:
    Location where_;
    std::string message_;
};

// A whole number, possibly counted from the device's size.
struct Number {
    enum class Base : std::uint8_t { literal, rows, columns };
    Base base = Base::literal;
    std::int64_t offset = 0;  // the number itself for a literal
};

// An argument or an expected value.
struct Value {
    enum class Kind : std::uint8_t { integer, boolean, text, device, empty };
    Kind kind = Kind::integer;
    Number number;         // integer
    std::int16_t raw = 0;  // boolean, as it travels (-1 true)
    std::u16string text;   // text, repeated `times` times when set
    std::optional<Number> times;
};

// What an action is expected to give: a value (a result code, or what a
// property read returns), or a failure of the call whose message contains
// the text.
struct Outcome {
    bool error = false;
    Value value;
    std::string errorText;
};

struct Statement {
    enum class Kind : std::uint8_t {
        call,          // a method: operation, args
        write,         // a property put: operation, args[0]
        read,          // a property get: operation
        press,         // control (a command button)
        type,          // control (a text box), text
        select,        // control (an option button)
        expectLabel,   // control (a label), text
        expectScreen,  // values (one text per row)
        expectRow,     // row, values[0]
        expectCursor,  // row, column
        expectWire,    // bytes
        expectError,   // errorText
        unplug,
        replug,
    };
    Kind kind = Kind::call;
    Location where;
    std::string source;    // as written, for reports
    std::string instance;  // "" the console's control, else the name after "@"
    const display::Operation* operation = nullptr;
    std::vector<Value> values;  // call arguments, the value written, or screen rows
    std::optional<Outcome> outcome;
    std::string control;  // a control of the console's window, by name
    std::u16string text;
    Number row;
    Number column;
    std::string bytes;
    std::string errorText;

    // An action: a call on a control (directly or by a button), which the
    // expectations after it look at.
    bool isAction() const { return kind <= Kind::press; }
};

struct Script {
    std::string file;
    std::vector<Statement> statements;
};

// Parses a whole script; throws ParseError at the first mistake.
Script parseScript(std::string_view text, const std::string& file);

// Parses statements that begin at `start` (a cell of the conformance pack,
// a line of a trace); the same language.
std::vector<Statement> parseStatements(std::string_view text, const Location& start);

// "Name=value" pairs separated by blanks, as the conformance pack lists the
// properties a case changes; a value of * (nothing here) means any value,
// and a lone * (name "*") lets every other property change too.
struct Assignment {
    Location where;
    std::string name;
    std::optional<Value> value;
};
std::vector<Assignment> parseAssignments(std::string_view text, const Location& start);

// Values separated by "or" (the results a pack case accepts).
std::vector<Value> parseAlternatives(std::string_view text, const Location& start);

// Where the byte at `offset` of a text that begins at `start` is (columns
// count characters).
Location locationIn(std::string_view text, std::size_t offset, const Location& start);

// Whether a value is of the kind an operation's argument or value of this type takes.
bool valueFits(const Value& value, display::VariantType type);

// The integer a result name stands for ("OPOS_E_ILLEGAL"), if it is one.
std::optional<std::int32_t> resultNamed(std::string_view name);

}  // namespace run

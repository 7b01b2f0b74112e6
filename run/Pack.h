// The conformance pack: cases written as data, one row each, that say how a
// Line Display control must answer, and the run that judges a device by
// them.
//
// A pack file has three kinds of lines ("#" starts a comment):
//   rule order = Method preconditions are checked in this order: ...
//   state enabled = Open DEVICE; ClaimDevice 1000; DeviceEnabled = true
//   id | state | given | action | result | changes | needs | rule
// A case starts a fresh control in its state (the state's statements, each
// of which must succeed unless it says otherwise with "->"), runs what it
// is given the same way, reads every property, runs its action, and judges:
//   - the action's result (a result code, or a property's value; several
//     may be allowed: "OPOS_SUCCESS or OPOS_E_ILLEGAL");
//   - ResultCode: the result of a method or property write, unchanged by a read;
//   - the properties in `changes` ("CursorRow=1 CheckHealthText=*": a value,
//     or * for any), and that no other property changed (a lone * lets
//     every other property change too);
// and names the rule of `rule` when anything diverges. A case whose `needs`
// are not met, or which must take the display off its line where the target
// cannot, is skipped with the reason. Needs are read from the device while
// open: "CapBlink>0 CapCursorType&0x02 CharacterSetList~437", where & and !&
// test bits, ~ and !~ whether a comma-separated list has an item.
// Values may use DEVICE, ROWS and COLUMNS, so one row fits every display.
#pragma once

#include "run/Report.h"
#include "run/Runner.h"
#include "run/Script.h"
#include "run/Target.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace run {

struct PackCase {
    struct Need {
        std::string property;
        std::string op;  // = != < <= > >= & (a bit set) !& (clear) ~ (listed) !~ (not listed)
        std::string value;
        std::string source;  // as written
    };
    std::string id;
    Location where;
    std::string state;
    std::vector<Statement> given;
    Statement action;
    std::vector<Value> results;  // empty: any value ("*")
    std::vector<Assignment> changes;
    bool othersMayChange = false;
    std::vector<Need> needs;
    std::string rule;
};

struct Pack {
    std::map<std::string, std::vector<Statement>, std::less<>> states;
    std::map<std::string, std::string, std::less<>> rules;
    std::vector<PackCase> cases;
};

struct PackFile {
    std::string name;
    std::string text;
};

// Reads pack files (states and rules may be used before or after the
// file that defines them); throws ParseError at the first mistake, and for
// a case id used twice, a state or rule that is not defined, or a property
// that does not exist.
Pack parsePack(const std::vector<PackFile>& files);

// The pack that is part of ldt-run (the files of run/conformance).
const std::vector<PackFile>& builtInPack();

// Runs every case whose id contains `only` (all when empty) against the
// device of `facts`, one finding per case.
void runPack(
    const Pack& pack, Target& target, DeviceFacts& facts, Reporter& reporter, std::string_view only = {});

}  // namespace run

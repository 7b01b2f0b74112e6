// Identification of an unknown display on a port: its line settings and its
// command set, with as few answers from the operator as possible.
//
// 1. Ask: sets whose displays answer a request (their `identify` command)
//    are asked at each candidate line setting in turn; an answer names the
//    set and the setting at once, with no operator.
// 2. Sweep: at each candidate setting the port sends, for every set of the
//    table, the bytes that reset it and put a short code alone on its top
//    row; the code differs per setting, and only the right setting carries it
//    to the glass intact. Each code stays at least `hold` on the glass before
//    the next setting is tried. The operator types the code they read (one
//    answer), during the sweep or at its end.
// 3. Probes: at that setting, each set's probe shows its code alone only on
//    a display of that set; the operator types the code that stood alone
//    (the second answer).
// The probes and the ways to show text are data of the command-set rows, so
// a new set joins by its row. Nothing is written anywhere but to the port.
//
// Not thread-safe; throws Interrupted (Ctrl-C) and serial::PortError.
#pragma once

#include "devices/Operator.h"
#include "model/CommandSet.h"
#include "model/LineSettings.h"
#include "serial/Port.h"

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace devices {

// A line setting the sweep tries and the code it shows there.
struct Candidate {
    model::LineSettings line;
    std::string_view code;
};
// The settings tried, in order: 9600 8N1 and 8O1 first (the usual factory
// settings), then the other speeds without parity, then with odd parity.
std::span<const Candidate> sweepCandidates();

// The bytes the sweep sends at a setting: every set's reset, then the code
// on a row of its own in every form the sets show text in, padded with
// blanks over whatever the other sets' bytes left on that row.
std::string sweepBytes(std::span<const model::CommandSet> sets, std::string_view code, std::int32_t columns);

struct IdentifyOptions {
    std::chrono::milliseconds hold{1000};   // each code on the glass at least this long
    std::chrono::milliseconds listen{200};  // for an answer to a request
    std::int32_t columns = 20;
};

struct Identified {
    const model::CommandSet* set = nullptr;
    model::LineSettings line;
    int operatorAnswers = 0;
    bool byAnswer = false;  // the display answered a request
};

// Finds the display's line settings and command set on an open port (opened
// readWrite); nothing when it cannot (the operator has been told why).
std::optional<Identified> identify(serial::Port& port, std::span<const model::CommandSet> sets, Operator& op,
    const IdentifyOptions& options = {});

}  // namespace devices

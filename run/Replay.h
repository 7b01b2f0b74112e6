// A device trace (device/Trace.h) replayed as a script: each recorded call
// is made again with its recorded outcome as the expectation, and the bytes
// each serial display sent are compared with the recorded ones.
//
// The wire is compared as one stream per device, because slow output
// (InterCharacterWait) reaches the line on the control's own thread, so how
// its bytes fall between the calls depends on timing: after each call, what
// was sent so far and what had been recorded by then must agree as far as
// both go (either may be ahead), and at the end, once all output is shown,
// the two streams must be identical. Where slow output had reached the line
// before a call was made, the replay waits for it before making the call
// (at most the time the recording waited, and a little more), so that a
// call that discards pending output discards the same characters. Notes in
// the trace (failures' reasons) are not replayed. The trace of one console
// replays; two control instances writing to one trace cannot be told apart.
#pragma once

#include "run/Report.h"
#include "run/Runner.h"
#include "run/Script.h"

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace run {

struct RecordedTrace {
    struct Call {
        Statement statement;              // with the recorded outcome
        std::string device;               // as the trace names it
        std::size_t wireBefore = 0;       // bytes of that device's stream recorded up to this call's end
        std::size_t wireAtStart = 0;      // ... before this call began
        std::chrono::microseconds gap{};  // from the line before to this call's start
    };
    std::string file;
    std::vector<Call> calls;
    std::map<std::string, std::string, std::less<>> wire;  // every byte each device sent
};

// Reads a trace; throws ParseError naming the file, line and column of a
// line that is neither a call, a wire line nor a note.
RecordedTrace parseTrace(std::string_view text, const std::string& file);

// Replays it; with `device` not empty, the recorded device is opened under
// that name instead (the trace may only name one device then).
void replay(const RecordedTrace& trace, Target& target, DeviceFacts& facts, const std::string& device,
    Reporter& reporter);

}  // namespace run

// Fuzz target: the virtual display's reader of every command set.
//
// The first byte picks the command set and a split point; the rest is the
// byte stream off the line. Checked beyond "no crash": the screen keeps its
// size, the cursor stays on the screen, and the stream read in two pieces
// (split anywhere, as reads from a pty split it) gives exactly the same
// screen, state, fault count and answers as read whole, before and after
// time passes (marquees, the clock, the self-test).
#include "FuzzInput.h"
#include "emulator/VirtualDisplay.h"
#include "model/CommandSet.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto sets = model::commandSets();
    const model::CommandSet& set = sets[data[0] % sets.size()];
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t split = stream.empty() ? 0 : (data[0] / sets.size()) % (stream.size() + 1);

    emulator::VirtualDisplay whole(set);
    whole.feed(stream);
    emulator::VirtualDisplay pieces(set);
    pieces.feed(stream.substr(0, split));
    pieces.feed(stream.substr(split));

    const model::DisplayModel& model = whole.model();
    if (model.deviceRows() != 2 || model.deviceColumns() != 20) fuzz::fuzzFail("the screen changed its size");
    if (!model.fitsCursor(model.cursorRow(), model.cursorColumn()))
        fuzz::fuzzFail("the cursor left the screen");
    const auto same = [&](const char* when) {
        if (whole.describe() != pieces.describe() || whole.faultCount() != pieces.faultCount() ||
            whole.takeReplies() != pieces.takeReplies()) {
            fuzz::fuzzFail("reading in two pieces (split at " + std::to_string(split) +
                           ") differs from reading whole " + when + ":\n" + whole.describe() + "---\n" +
                           pieces.describe());
        }
    };
    same("");
    // As much time as the last byte says, in quarter seconds.
    const auto elapsed = std::chrono::milliseconds(250 * (size > 1 ? data[size - 1] : 0));
    whole.advance(elapsed);
    pieces.advance(elapsed);
    if (!whole.model().fitsCursor(whole.model().cursorRow(), whole.model().cursorColumn()))
        fuzz::fuzzFail("the cursor left the screen as time passed");
    same("after time passed");
    return 0;
}

// Fuzz target: the virtual display's reader of both command sets.
//
// The first byte picks the command set and a split point; the rest is the
// byte stream off the line. Checked beyond "no crash": the screen keeps its
// size, the cursor stays on the screen, and the stream read in two pieces
// (split anywhere, as reads from a pty split it) gives exactly the same
// screen, state and fault count as read whole.
#include "FuzzInput.h"
#include "emulator/VirtualDisplay.h"
#include "model/CommandSet.h"

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
    if (whole.describe() != pieces.describe() || whole.faultCount() != pieces.faultCount()) {
        fuzz::fuzzFail("reading in two pieces (split at " + std::to_string(split) +
                       ") differs from reading whole:\n" + whole.describe() + "---\n" + pieces.describe());
    }
    return 0;
}

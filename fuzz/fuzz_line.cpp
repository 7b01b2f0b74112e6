// Fuzz target: the virtual display's receiver (emulator/Line), which turns
// what any sender puts on the pty into what the display receives.
//
// The first two bytes pick the display's and the sender's speed and parity,
// the display's command set and a split point; the rest is the byte stream.
// Checked beyond "no crash": the stream read in two pieces gives exactly what
// it gives read whole (the outcome depends on the bytes alone), a sender set
// like the display passes every byte, the receiver never makes up more
// characters than the falling edges the sender's bits can have, and the
// set's reader, fed what arrived piece by piece, ends as it does fed it
// whole, its cursor on the screen.
#include "FuzzInput.h"
#include "emulator/Line.h"
#include "emulator/VirtualDisplay.h"
#include "model/CommandSet.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto settings = [](std::uint8_t b) {
        return model::LineSettings{.baud = model::standardSpeeds[b % model::standardSpeeds.size()],
            .parity = (b & 0x08) != 0 ? model::Parity::odd : model::Parity::none,
            .stopBits = (b & 0x10) != 0 ? 2 : 1};
    };
    const model::LineSettings display = settings(data[0]);
    const model::LineSettings sender = settings(data[1]);
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = stream.empty() ? 0 : (data[1] >> 5) * stream.size() / 8;

    emulator::Line whole(display);
    std::string wholeOut = whole.receive(stream, sender);
    wholeOut += whole.idle();
    emulator::Line pieces(display);
    const model::CommandSet& set = model::commandSets()[(data[0] >> 5) % model::commandSets().size()];
    emulator::VirtualDisplay shownWhole(set);
    emulator::VirtualDisplay shownInPieces(set);
    std::string piecesOut;
    for (std::string part : {pieces.receive(stream.substr(0, split), sender),
             pieces.receive(stream.substr(split), sender), pieces.idle()}) {
        shownInPieces.feed(part);
        piecesOut += part;
    }
    shownWhole.feed(wholeOut);

    if (wholeOut != piecesOut) fuzz::fuzzFail("reading in two pieces differs from reading whole");
    if (!whole.mismatched(sender) && wholeOut != stream) fuzz::fuzzFail("a matching sender's bytes changed");
    if (wholeOut.size() > stream.size() * 6 + 1) fuzz::fuzzFail("more characters received than edges sent");
    if (shownWhole.describe() != shownInPieces.describe())
        fuzz::fuzzFail("the " + std::string(set.name) + " reader shows pieces otherwise than the whole");
    const model::DisplayModel& screen = shownWhole.model();
    if (!screen.fitsCursor(screen.cursorRow(), screen.cursorColumn()))
        fuzz::fuzzFail("the cursor left the screen");
    return 0;
}

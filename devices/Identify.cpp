#include "devices/Identify.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <thread>

namespace devices {
namespace {

using Clock = std::chrono::steady_clock;
using model::Parity;

// Codes of a capital letter and a digit, none used twice, none a probe's.
// At a setting with odd parity the digit has an odd number of one bits, so
// on a display without parity (where such a character's parity bit lands on
// its stop bit and loses it) the code cannot show whole at the right speed
// but the wrong parity. A test checks that no code reaches the glass whole
// at any other setting.
constexpr std::array<Candidate, 16> candidates{{
    {{.baud = 9600}, "K5"},
    {{.baud = 9600, .parity = Parity::odd}, "L7"},
    {{.baud = 19200}, "M3"},
    {{.baud = 4800}, "P6"},
    {{.baud = 2400}, "S9"},
    {{.baud = 38400}, "U5"},
    {{.baud = 1200}, "W3"},
    {{.baud = 57600}, "Y6"},
    {{.baud = 115200}, "Z9"},
    {{.baud = 19200, .parity = Parity::odd}, "N8"},
    {{.baud = 4800, .parity = Parity::odd}, "R2"},
    {{.baud = 2400, .parity = Parity::odd}, "T4"},
    {{.baud = 38400, .parity = Parity::odd}, "V1"},
    {{.baud = 1200, .parity = Parity::odd}, "X7"},
    {{.baud = 57600, .parity = Parity::odd}, "Z2"},
    {{.baud = 115200, .parity = Parity::odd}, "K1"},
}};

// A little over the hold, so that no delay in reading the display cuts a
// code's time on the glass short.
constexpr auto holdMargin = std::chrono::milliseconds(50);

// Waits until the deadline, Ctrl-C ending the wait.
void waitUntil(Operator& op, Clock::time_point deadline) {
    while (Clock::now() < deadline) {
        op.checkInterrupt();
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + std::chrono::milliseconds(50)));
    }
    op.checkInterrupt();
}

// A typed code as the codes are written: capitals, no blanks.
std::string normalised(std::string_view typed) {
    std::string code;
    for (const char c : typed) {
        if (std::isspace(static_cast<unsigned char>(c)) == 0)
            code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return code;
}

// One step that shows codes and waits for the operator to type one.
class CodeStep {
public:
    // `shownBy` completes "not one of the codes ...".
    CodeStep(Operator& op, std::vector<std::string_view> codes, std::string_view shownBy, int& answers)
        : op_(op), codes_(std::move(codes)), shownBy_(shownBy), answers_(answers) {}

    // Holds a code whose bytes went out until `until`, taking answers meanwhile.
    void holdAndListen(Clock::time_point until) {
        while (Clock::now() < until) {
            const auto typed = op_.answerBy(until);
            if (!typed) break;
            take(*typed);
        }
        waitUntil(op_, until);
    }
    // After the last code: asks until a code or an empty answer comes.
    void askAtTheEnd(std::string_view question) {
        while (!chosen_ && !op_.inputEnded()) {
            const auto typed = op_.ask(question);
            if (!typed) break;
            if (typed->empty()) {
                ++answers_;
                break;
            }
            take(*typed);
        }
    }
    std::optional<std::size_t> chosen() const { return chosen_; }

private:
    void take(const std::string& typed) {
        ++answers_;
        if (typed.empty()) return;
        const std::string code = normalised(typed);
        const auto it = std::ranges::find(codes_, code);
        if (it != codes_.end()) {
            chosen_ = static_cast<std::size_t>(it - codes_.begin());
            return;
        }
        // Quoted short and with control bytes escaped; appended piece by
        // piece, as GCC 12 at -O3 warns falsely (-Wrestrict) on a literal +
        // std::string.
        std::string message = "\"";
        for (const char c : std::string_view(typed).substr(0, 20)) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F) {
                message += "\\x";
                message += "0123456789ABCDEF"[byte >> 4];
                message += "0123456789ABCDEF"[byte & 0x0F];
            } else {
                message += c;
            }
        }
        message += "\" is not one of the codes ";
        message += shownBy_;
        message += "; type the code as it stands on the display (a letter and a digit), or press Enter";
        op_.say(message);
    }

    Operator& op_;
    std::vector<std::string_view> codes_;
    std::string_view shownBy_;
    int& answers_;
    std::optional<std::size_t> chosen_;
};

std::optional<Identified> askDisplays(serial::Port& port, std::span<const model::CommandSet> sets,
    Operator& op, const IdentifyOptions& options) {
    std::vector<const model::CommandSet*> answering;
    for (const model::CommandSet& set : sets) {
        if (!model::encode(set, model::Command::identify).empty()) answering.push_back(&set);
    }
    if (answering.empty()) return std::nullopt;
    std::string names;
    for (const auto* set : answering) names += (names.empty() ? "" : ", ") + std::string(set->name);
    op.say("Asking the display to answer (" + names + " displays do) at each line setting...");
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const model::LineSettings& line = candidates[i].line;
        op.progress("  asking at " + model::speedAndFrame(line) + " (" + std::to_string(i + 1) + " of " +
                    std::to_string(candidates.size()) + ")");
        port.setLine(line);
        while (!port.readFor(std::chrono::milliseconds(0)).empty()) {}  // what came before is not an answer
        for (const model::CommandSet* set : answering) {
            port.writeThrough(model::encode(*set, model::Command::identify));
            const auto until = Clock::now() + options.listen;
            std::string reply;
            while (Clock::now() < until && reply.size() < 256) {
                op.checkInterrupt();
                reply +=
                    port.readFor(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
            }
            if (!reply.empty()) {
                op.say("The display answered at " + model::speedAndFrame(line) + ": it speaks " +
                       std::string(set->name) + ".");
                return Identified{set, line, 0, true};
            }
        }
    }
    op.say("No display answered; it is one of the sets that cannot answer.");
    return std::nullopt;
}

std::optional<model::LineSettings> sweep(serial::Port& port, std::span<const model::CommandSet> sets,
    Operator& op, const IdentifyOptions& options, int& answers) {
    op.say(
        "Line settings: watch the display. At each setting tried, a code (a letter and a digit) stands "
        "alone on it for a moment. Type the code as soon as you read it, then press Enter.");
    std::vector<std::string_view> codes;
    codes.reserve(candidates.size());
    for (const Candidate& c : candidates) codes.push_back(c.code);
    CodeStep step(op, codes, "the line-settings sweep shows", answers);
    for (std::size_t i = 0; i < candidates.size() && !step.chosen(); ++i) {
        const Candidate& c = candidates[i];
        op.progress("  trying " + model::speedAndFrame(c.line) + " (" + std::to_string(i + 1) + " of " +
                    std::to_string(candidates.size()) + ")");
        port.setLine(c.line);
        port.writeThrough(sweepBytes(sets, c.code, options.columns));
        step.holdAndListen(Clock::now() + options.hold + holdMargin);
    }
    step.askAtTheEnd("Type the code you read, or press Enter if none appeared:");
    if (!step.chosen()) {
        op.say(
            "No code was readable at any setting tried. The display may be off or unplugged, on another "
            "port, or set to something not tried (even parity or 7 data bits, which a pseudo-terminal "
            "cannot carry); a pass-through display may be waiting on its printer port.");
        return std::nullopt;
    }
    const model::LineSettings& found = candidates[*step.chosen()].line;
    op.say("Line settings: " + model::describe(found) + ".");
    return found;
}

const model::CommandSet* probe(serial::Port& port, std::span<const model::CommandSet> sets, Operator& op,
    const IdentifyOptions& options, int& answers) {
    std::vector<const model::CommandSet*> probed;
    std::vector<std::string_view> codes;
    for (const model::CommandSet& set : sets) {
        if (set.identification.probe.empty()) continue;
        probed.push_back(&set);
        codes.push_back(set.identification.code);
    }
    op.say(
        "Command set: each set now shows its own code, which stands alone only on a display of that set. "
        "Type the code that stands alone on the display, then press Enter.");
    CodeStep step(op, codes, "the command sets show", answers);
    for (std::size_t i = 0; i < probed.size() && !step.chosen(); ++i) {
        op.progress("  probe " + std::to_string(i + 1) + " of " + std::to_string(probed.size()));
        port.writeThrough(probed[i]->identification.probe);
        step.holdAndListen(Clock::now() + options.hold + holdMargin);
    }
    step.askAtTheEnd("Type the code that stood alone, or press Enter if none did:");
    if (!step.chosen()) {
        op.say("No set's code stood alone: the display speaks a command set this program does not know.");
        return nullptr;
    }
    return probed[*step.chosen()];
}

}  // namespace

std::span<const Candidate> sweepCandidates() { return candidates; }

std::string sweepBytes(std::span<const model::CommandSet> sets, std::string_view code, std::int32_t columns) {
    // Each reset is followed by a carriage return, so that what it shows on
    // a display of another set stays on the top row, which the code with
    // blanks after it covers at the end.
    std::string bytes;
    for (const model::CommandSet& set : sets) {
        const std::string reset = std::string(set.identification.reset) + '\x0D';
        if (bytes.find(reset) == std::string::npos) bytes += reset;
    }
    for (const model::CommandSet& set : sets) {
        const model::Identification& id = set.identification;
        if (id.textBefore.empty()) continue;
        const std::string form = std::string(id.textBefore) + std::string(code) + std::string(id.textAfter);
        if (bytes.find(form) == std::string::npos) bytes += form + '\x0D';
    }
    bytes += code;
    bytes.append(
        static_cast<std::size_t>(std::max<std::int32_t>(0, columns - static_cast<std::int32_t>(code.size()))),
        ' ');
    return bytes;
}

std::optional<Identified> identify(serial::Port& port, std::span<const model::CommandSet> sets, Operator& op,
    const IdentifyOptions& options) {
    if (auto answered = askDisplays(port, sets, op, options)) return answered;
    Identified found;
    const auto line = sweep(port, sets, op, options, found.operatorAnswers);
    if (!line) return std::nullopt;
    found.line = *line;
    port.setLine(found.line);
    found.set = probe(port, sets, op, options, found.operatorAnswers);
    if (found.set == nullptr) return std::nullopt;
    // Leave the display blank rather than showing the last probe.
    port.writeThrough(model::encode(*found.set, model::Command::initialise));
    return found;
}

}  // namespace devices

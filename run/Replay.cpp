#include "run/Replay.h"

#include "display/Conversions.h"
#include "model/Hex.h"
#include "model/Utf.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

namespace run {
namespace {

// "2026-12-08T10:00:00.000001Z", as Trace writes the time.
bool looksLikeTime(std::string_view stamp) {
    return stamp.size() >= 20 && std::isdigit(static_cast<unsigned char>(stamp.front())) != 0 &&
           stamp.back() == 'Z' && stamp.find('T') != std::string_view::npos;
}

// The time of a line in microseconds since 1970, or nothing when it is not
// a time as Trace writes it.
std::optional<std::chrono::microseconds> timeOf(std::string_view stamp) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    long long micro = 0;
    char z = 0;
    const std::string text(stamp);
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%6lld%c", &year, &month, &day, &hour, &minute,
            &second, &micro, &z) != 8 ||
        z != 'Z')
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(year),
        std::chrono::month(static_cast<unsigned>(month)), std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) return std::nullopt;
    using namespace std::chrono;
    return duration_cast<microseconds>(sys_days(date).time_since_epoch()) + hours(hour) + minutes(minute) +
           seconds(second) + microseconds(micro);
}

// The duration a call's line ends with ("  # 0.012 ms").
std::chrono::microseconds durationOf(std::string_view tail) {
    const std::size_t hash = tail.rfind("  # ");
    if (hash == std::string_view::npos) return {};
    const double ms = std::atof(std::string(tail.substr(hash + 4)).c_str());
    return std::chrono::microseconds(static_cast<long long>(ms * 1000.0));
}

// A call's line ends with its duration as a comment: "... -> OPOS_SUCCESS  # 0.012 ms".
bool looksLikeCall(std::string_view tail) {
    return tail.find(" -> ") != std::string_view::npos && tail.ends_with(" ms") &&
           tail.find("  # ") != std::string_view::npos;
}

bool startsWithOperation(std::string_view tail) {
    const std::string_view word = tail.substr(0, tail.find(' '));
    return std::any_of(display::operations.begin(), display::operations.end(),
        [word](const display::Operation& op) { return op.name == word; });
}

// The bytes of "wire <n> bytes: 1B 40 ...", or nothing if the text is not one.
std::optional<std::string> wireLine(std::string_view tail) {
    if (!tail.starts_with("wire ")) return std::nullopt;
    tail.remove_prefix(5);
    std::size_t count = 0, i = 0;
    while (i < tail.size() && std::isdigit(static_cast<unsigned char>(tail[i])) != 0 && count < 100000000)
        count = count * 10 + static_cast<std::size_t>(tail[i++] - '0');
    if (i == 0 || tail.substr(i, 8) != " bytes: ") return std::nullopt;
    tail.remove_prefix(i + 8);
    std::string bytes;
    for (std::size_t at = 0; at < tail.size(); at += 3) {
        unsigned value = 0;
        const char* pair = tail.data() + at;
        const auto [end, error] =
            std::from_chars(pair, pair + std::min<std::size_t>(2, tail.size() - at), value, 16);
        if (error != std::errc() || end != pair + 2 || (at + 2 < tail.size() && tail[at + 2] != ' '))
            return std::nullopt;
        bytes += static_cast<char>(value);
    }
    if (bytes.size() != count) return std::nullopt;
    return bytes;
}

// Where two byte streams part, as a message; nothing when one is the start of the other.
std::optional<std::string> parting(const std::string& sent, const std::string& recorded, bool whole) {
    const std::size_t common = std::min(sent.size(), recorded.size());
    std::size_t k = 0;
    while (k < common && sent[k] == recorded[k]) ++k;
    if (k == common && (!whole || sent.size() == recorded.size())) return std::nullopt;
    const auto piece = [k](const std::string& s) {
        if (k >= s.size()) return std::string("nothing more");
        return model::hexBytes(s.substr(k, 8)) + (s.size() > k + 8 ? " ..." : "");
    };
    return "from byte " + std::to_string(k) + " on the display was sent " + piece(sent) + ", the trace has " +
           piece(recorded) + " (" + std::to_string(sent.size()) + " bytes sent, " +
           std::to_string(recorded.size()) + " recorded)";
}

}  // namespace

RecordedTrace parseTrace(std::string_view text, const std::string& file) {
    RecordedTrace trace;
    trace.file = file;
    // Each device's wire lines with their times, to tell which came before a call began.
    std::map<std::string, std::vector<std::pair<std::chrono::microseconds, std::size_t>>, std::less<>>
        wireTimes;
    std::optional<std::chrono::microseconds> previous;  // the time of the line before
    int lineNumber = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const std::size_t space = line.find(' ');
        const auto time = space == std::string_view::npos ? std::nullopt : timeOf(line.substr(0, space));
        if (!time || !looksLikeTime(line.substr(0, space))) {
            throw ParseError(Location{file, lineNumber, 1},
                "this is not a line of a device trace (those start with the time, as "
                "2026-12-08T10:00:00.000000Z)");
        }
        const std::string_view rest = line.substr(space + 1);
        // The device's name may hold blanks: the first split whose tail reads
        // as a call or a wire line is the one.
        std::optional<ParseError> firstError;
        bool taken = false;
        const std::size_t firstSplit = rest.find(' ');
        for (std::size_t split = rest.find(' '); split != std::string_view::npos && !taken;
             split = rest.find(' ', split + 1)) {
            const std::string device(rest.substr(0, split));
            const std::string_view tail = rest.substr(split + 1);
            if (device.empty()) continue;
            if (const auto bytes = wireLine(tail)) {
                trace.wire[device] += *bytes;
                wireTimes[device].emplace_back(*time, trace.wire[device].size());
                taken = true;
                continue;
            }
            if (!looksLikeCall(tail)) continue;
            try {
                const Location at = locationIn(line, space + 1 + split + 1, Location{file, lineNumber, 1});
                std::vector<Statement> parsed = parseStatements(tail, at);
                if (parsed.size() == 1 && parsed[0].outcome && parsed[0].kind != Statement::Kind::press &&
                    parsed[0].isAction()) {
                    const auto it = trace.wire.find(device);
                    RecordedTrace::Call call{
                        std::move(parsed[0]), device, it == trace.wire.end() ? 0 : it->second.size(), 0, {}};
                    const auto started = *time - durationOf(tail);
                    for (const auto& [when, size] : wireTimes[device]) {
                        if (when < started) call.wireAtStart = size;
                    }
                    if (previous && started > *previous) call.gap = started - *previous;
                    trace.calls.push_back(std::move(call));
                    taken = true;
                }
            } catch (const ParseError& e) {
                // A call's line that does not read is a mistake when it names
                // a device of the trace (or its first word is the device);
                // elsewhere the words are a note's.
                const bool knownDevice =
                    split == firstSplit || trace.wire.count(device) != 0 ||
                    std::any_of(trace.calls.begin(), trace.calls.end(),
                        [&](const RecordedTrace::Call& c) { return c.device == device; });
                if (!firstError && knownDevice && startsWithOperation(tail)) firstError = e;
            }
        }
        if (!taken && firstError) throw ParseError(firstError->where(), firstError->message());
        previous = *time;
        // Anything else is a note: a failure's reason, a call no operation has.
    }
    return trace;
}

void replay(const RecordedTrace& trace, Target& target, DeviceFacts& facts, const std::string& device,
    Reporter& reporter) {
    std::set<std::string> devices;
    for (const auto& call : trace.calls) devices.insert(call.device);
    for (const auto& [name, bytes] : trace.wire) devices.insert(name);
    if (!device.empty() && devices.size() > 1)
        throw RunError("the trace has calls of " + std::to_string(devices.size()) +
                       " devices; --device can stand for one only");
    const auto mapped = [&device](const std::string& recorded) { return device.empty() ? recorded : device; };

    reporter.beginSuite(trace.file);
    Session session(target, facts);
    const WireLog* wire = target.wire();
    std::set<std::string> parted;  // devices whose wire already went another way
    std::vector<Finding> findings;
    for (std::size_t i = 0; i < trace.calls.size(); ++i) {
        const RecordedTrace::Call& call = trace.calls[i];
        Statement s = call.statement;
        if (!device.empty() && s.operation->name == "Open" && s.values[0].kind == Value::Kind::text &&
            model::utf8(s.values[0].text) == call.device) {
            s.values[0] = Value{Value::Kind::device, {}, 0, {}, {}};
        }
        reporter.progress(i, trace.calls.size(), lineOf(s.where) + " " + s.source);
        if (wire != nullptr) {
            // Slow output the recording had seen reach the line before this call.
            using Clock = std::chrono::steady_clock;
            const auto deadline =
                Clock::now() + std::min<Clock::duration>(
                                   call.gap + std::chrono::milliseconds(200), std::chrono::seconds(10));
            while (wire->streamSize(mapped(call.device)) < call.wireAtStart && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        findings.clear();
        session.execute(s, nullptr, findings);
        for (const Finding& f : findings) reporter.report(f);

        if (wire == nullptr || parted.count(call.device) != 0) continue;
        const auto it = trace.wire.find(call.device);
        const std::string recorded =
            it == trace.wire.end() ? std::string() : it->second.substr(0, call.wireBefore);
        if (const auto why = parting(wire->stream(mapped(call.device)), recorded, false)) {
            parted.insert(call.device);
            reporter.report(
                {Finding::Status::fail, lineOf(s.where), "wire of \"" + call.device + "\"", *why, {}});
        }
    }
    if (trace.wire.empty()) return;
    const std::string end = trace.file + ":end";
    if (wire == nullptr) {
        reporter.report(
            {Finding::Status::skip, end, "wire", "this target cannot see the bytes sent to a display", {}});
        return;
    }
    session.settle();
    for (const auto& [name, recorded] : trace.wire) {
        const std::string sent = wire->stream(mapped(name));
        const auto why = parting(sent, recorded, true);
        reporter.report({why ? Finding::Status::fail : Finding::Status::pass, end,
            "wire of \"" + name + "\": " + std::to_string(recorded.size()) + " bytes as recorded",
            why.value_or(""), {}});
    }
}

}  // namespace run

#include "model/LineSettings.h"

#include <algorithm>
#include <charconv>

namespace model {
namespace {

struct ParityName {
    Parity parity;
    std::string_view name;
    char letter;
};
constexpr std::array<ParityName, 5> parities{{
    {Parity::none, "none", 'N'},
    {Parity::odd, "odd", 'O'},
    {Parity::even, "even", 'E'},
    {Parity::mark, "mark", 'M'},
    {Parity::space, "space", 'S'},
}};

struct FlowName {
    FlowControl flow;
    std::string_view name;
    std::string_view text;  // in describe()
};
constexpr std::array<FlowName, 4> flows{{
    {FlowControl::none, "none", "no flow control"},
    {FlowControl::rtsCts, "rts-cts", "RTS/CTS flow control"},
    {FlowControl::dtrDsr, "dtr-dsr", "DTR/DSR flow control"},
    {FlowControl::xonXoff, "xon-xoff", "XON/XOFF flow control"},
}};

const ParityName& entryOf(Parity parity) { return *std::ranges::find(parities, parity, &ParityName::parity); }
const FlowName& entryOf(FlowControl flow) { return *std::ranges::find(flows, flow, &FlowName::flow); }

}  // namespace

std::string_view nameOf(Parity parity) { return entryOf(parity).name; }
std::string_view nameOf(FlowControl flowControl) { return entryOf(flowControl).name; }

std::optional<Parity> parityNamed(std::string_view name) {
    const auto it = std::ranges::find(parities, name, &ParityName::name);
    return it == parities.end() ? std::nullopt : std::optional(it->parity);
}

std::optional<FlowControl> flowControlNamed(std::string_view name) {
    const auto it = std::ranges::find(flows, name, &FlowName::name);
    return it == flows.end() ? std::nullopt : std::optional(it->flow);
}

std::string frameText(const LineSettings& line) {
    return std::to_string(line.dataBits) + entryOf(line.parity).letter + std::to_string(line.stopBits);
}

std::string speedAndFrame(const LineSettings& line) {
    return std::to_string(line.baud) + " " + frameText(line);
}

std::string describe(const LineSettings& line) {
    return speedAndFrame(line) + ", " + std::string(describe(line.flowControl));
}

std::string_view describe(FlowControl flowControl) { return entryOf(flowControl).text; }

std::int32_t bitsPerCharacter(const LineSettings& line) {
    return 1 + line.dataBits + (line.parity == Parity::none ? 0 : 1) + line.stopBits;
}

std::optional<LineSettings> parseLine(std::string_view text) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos || text.size() != comma + 4) return std::nullopt;
    LineSettings line;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first, first + comma, line.baud);
    if (error != std::errc() || end != first + comma) return std::nullopt;
    if (std::ranges::find(standardSpeeds, line.baud) == standardSpeeds.end()) return std::nullopt;
    const std::string_view frame = text.substr(comma + 1);
    if (frame[0] != '7' && frame[0] != '8') return std::nullopt;
    if (frame[2] != '1' && frame[2] != '2') return std::nullopt;
    const auto parity = std::ranges::find(parities, frame[1], &ParityName::letter);
    if (parity == parities.end()) return std::nullopt;
    line.dataBits = frame[0] - '0';
    line.parity = parity->parity;
    line.stopBits = frame[2] - '0';
    return line;
}

}  // namespace model

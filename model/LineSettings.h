// Serial line settings as values: speed, data bits, parity, stop bits and
// flow control, with the names the device configuration uses for them and
// the short text messages and traces show ("9600 8O1, no flow control").
//
// Plain values and pure functions; safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace model {

enum class Parity : std::uint8_t { none, odd, even, mark, space };
enum class FlowControl : std::uint8_t { none, rtsCts, dtrDsr, xonXoff };
inline constexpr std::array<Parity, 5> allParities{
    Parity::none, Parity::odd, Parity::even, Parity::mark, Parity::space};
inline constexpr std::array<FlowControl, 4> allFlowControls{
    FlowControl::none, FlowControl::rtsCts, FlowControl::dtrDsr, FlowControl::xonXoff};

struct LineSettings {
    std::int32_t baud = 9600;
    std::int32_t dataBits = 8;  // 7 or 8
    Parity parity = Parity::none;
    std::int32_t stopBits = 1;  // 1 or 2
    FlowControl flowControl = FlowControl::none;
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};

// The speeds the serial displays and the virtual display take, ascending.
inline constexpr std::array<std::int32_t, 8> standardSpeeds{
    1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// The configuration's names: "none", "odd", "even", "mark", "space";
// "none", "rts-cts", "dtr-dsr", "xon-xoff".
std::string_view nameOf(Parity parity);
std::string_view nameOf(FlowControl flowControl);
std::optional<Parity> parityNamed(std::string_view name);
std::optional<FlowControl> flowControlNamed(std::string_view name);

// The frame in the usual short form: data bits, parity letter, stop bits ("8O1").
std::string frameText(const LineSettings& line);
// Speed and frame: "9600 8O1".
std::string speedAndFrame(const LineSettings& line);
// Speed, frame and flow control: "9600 8O1, no flow control".
std::string describe(const LineSettings& line);
// "no flow control", "RTS/CTS flow control", ...
std::string_view describe(FlowControl flowControl);

// Bits on the wire for one character: start, data, parity, stop.
std::int32_t bitsPerCharacter(const LineSettings& line);

// Reads "9600,8O1" (speed, then data bits, parity letter N/O/E/M/S and stop
// bits; no flow control); nothing when the text is not of that form or the
// speed is not a standard one.
std::optional<LineSettings> parseLine(std::string_view text);

}  // namespace model

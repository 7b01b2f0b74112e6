// SerialDisplay: the service object of a line display on a serial port.
//
// ClaimDevice opens and locks the port with its line settings (waiting up to
// the claim's timeout while another program holds it) and writes a line to
// the trace naming the port, the settings and whatever of them the port
// could not apply (a pseudo-terminal keeps no parity bit); enabling initialises the display and
// draws the whole picture, since a display cannot report what it shows. Each
// display change then sends only what changed (ScreenWriter), in one write,
// and the call returns when those bytes should be on the wire at the line
// rate, so a slow line is never flooded and a caller's time is the wire's.
//
// The shadow (what the display shows) changes only after a write succeeded.
// A port that fails (missing, no permission, taken, unplugged) throws
// device::DeviceFailure: 107 when there is no usable port at claim or
// enable, 112 when another program held it for the whole timeout, 108 when
// the display went away while enabled; the port is then closed and the next
// enable opens it again, re-initialises and redraws.
//
// Capabilities come from the command set: brightness levels, whole-display
// blink and reverse, and a cursor that can be shown, only where the set has
// the command; code tables as the set lists them, and Unicode (997), which
// the display opens with unless its settings name another set. Unicode text
// is shown through every page, national set and user character the set can
// select, the rest transliterated or "?"; each replacement goes to the trace.
// Threading: as device::ServiceObject.
#pragma once

#include "device/ServiceObject.h"
#include "device/Trace.h"
#include "model/CommandSet.h"
#include "serial/Port.h"
#include "serial/ScreenWriter.h"
#include "serial/UserCharacterLoader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace serial {

// Sees every block of bytes once it is on its way to the display: the device
// name and the bytes. Called from whichever thread sends (slow output comes
// from the control's own thread), so it must be thread-safe.
using WireTap = std::function<void(std::string_view device, std::string_view bytes)>;

struct SerialSettings {
    std::string deviceName;  // for the trace
    std::string port;
    model::LineSettings line;
    const model::CommandSet* commandSet = &model::dmD();
    std::int32_t rows = 2;
    std::int32_t columns = 20;
    bool allowConsole = false;  // drive a port that is the machine's console (refused otherwise)
    std::optional<std::int32_t> characterSet = std::nullopt;  // to open with; nothing: Unicode
};

// The capabilities of a display of this command set and size.
model::DeviceProfile profileFor(const model::CommandSet& set, std::int32_t rows, std::int32_t columns);

class SerialDisplay : public device::ServiceObject {
public:
    // A display not yet opened; `trace` (may be null) and `wireTap` (may be
    // empty) receive the bytes sent.
    explicit SerialDisplay(
        SerialSettings settings, std::shared_ptr<device::Trace> trace = nullptr, WireTap wireTap = {});

    const model::DeviceProfile& profile() const override { return profile_; }
    void claim(std::chrono::milliseconds timeout) override;
    void release() override;
    std::int32_t enable() override;
    void disable() override {}
    bool online() const override { return port_ != nullptr; }
    void apply(const model::DisplayOp& operation) override;
    void replaceWith(const model::DisplayModel& model) override;
    std::u32string layOutUnicode(std::u32string_view text) override;
    model::DisplayModel shown() const override { return state_.picture; }
    device::HealthReport checkHealth(std::int32_t level) override;

    // Bytes written to the port since it was created (for the benchmark).
    std::uint64_t bytesSent() const { return bytesSent_; }

private:
    // Sends the bytes in one write and waits until they are on the wire;
    // throws DeviceFailure (108) after closing the port when that fails.
    void send(const std::string& bytes);
    // Makes the display show `target`, adopting the new state only once sent.
    void show(const model::DisplayModel& target);
    void traceFallbacks(const std::vector<lettering::Fallback>& fallbacks) const;
    void openPort(std::chrono::milliseconds timeout, bool claiming);

    SerialSettings settings_;
    std::shared_ptr<device::Trace> trace_;
    WireTap wireTap_;
    model::DeviceProfile profile_;
    ScreenWriter writer_;
    UserCharacterLoader loader_;
    ShadowState state_;
    model::DisplayModel wanted_;  // what the application wrote; state_.picture is what the glass shows
    std::unique_ptr<Port> port_;
    bool initialised_ = false;  // the display has been initialised since the port was opened
    std::chrono::steady_clock::time_point lineFree_{};  // when the last bytes are through the wire
    std::uint64_t bytesSent_ = 0;
};

}  // namespace serial

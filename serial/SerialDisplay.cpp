#include "serial/SerialDisplay.h"

#include "device/CharacterSets.h"
#include "display/ResultCodes.h"

#include <sys/prctl.h>

#include <map>
#include <mutex>
#include <thread>

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;

// The CharacterSetList of a command set ("437,850,..."), kept for the
// program's life since profiles hold it by view.
std::string_view characterSetList(const CommandSet& set) {
    static std::mutex mutex;
    static std::map<const CommandSet*, std::string> lists;
    std::lock_guard lock(mutex);
    std::string& list = lists[&set];
    if (list.empty()) {
        for (const CodeTable& table : set.codeTables) {
            if (!list.empty()) list += ',';
            list += std::to_string(table.characterSet);
        }
    }
    return list;
}

// How long bytes take on the line: 10 bits each (8N1).
Clock::duration wireTime(std::size_t bytes, std::int32_t baud) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) * 10.0 / baud));
}

}  // namespace

device::DeviceProfile profileFor(const CommandSet& set, std::int32_t rows, std::int32_t columns) {
    namespace cap = device::cap;
    const auto has = [&](Command command) { return writerForm(set, command) != nullptr; };
    device::DeviceProfile p{};
    p.name = set.name;
    p.rows = rows;
    p.columns = columns;
    p.capBlink = has(Command::blink) ? cap::blinkAll : cap::blinkNone;
    p.capReverse = has(Command::reverse) ? cap::reverseEach : cap::reverseNone;
    p.capBrightness = has(Command::brightness) && !set.levelPercent.empty();
    p.brightnessLevelCount = 0;
    if (p.capBrightness) {
        for (const std::int32_t percent : set.levelPercent) {
            if (p.brightnessLevelCount == p.brightnessLevels.size()) break;
            p.brightnessLevels[p.brightnessLevelCount++] = percent;
        }
    }
    // The sets can only show or hide their cursor, which is an underline.
    p.capCursorType = has(Command::cursorVisible) ? cap::cursorUnderline : 0;
    p.initialCursorType = device::cursor::none;
    p.capDescriptors = false;
    p.deviceDescriptors = 0;
    p.capHMarquee = false;
    p.capVMarquee = false;
    p.capBlinkRate = false;
    p.capCustomGlyph = false;
    p.customGlyphList = "";
    p.capCharacterSet = cap::charSetAscii;
    p.characterSetList = characterSetList(set);
    p.initialCharacterSet =
        set.codeTables.empty() ? device::charSetAscii : set.codeTables.front().characterSet;
    // Slow output and windows are the control object's; the display just
    // shows the cells they produce.
    p.capICharWait = true;
    p.capPowerReporting = cap::powerStandard;
    p.deviceWindows = 4;
    return p;
}

SerialDisplay::SerialDisplay(SerialSettings settings, std::shared_ptr<device::Trace> trace, WireTap wireTap)
    : settings_(std::move(settings)),
      trace_(std::move(trace)),
      wireTap_(std::move(wireTap)),
      profile_(profileFor(*settings_.commandSet, settings_.rows, settings_.columns)),
      writer_(*settings_.commandSet, settings_.rows, settings_.columns),
      state_(writer_.afterInitialise()) {
    state_.picture.setCharacterSet(profile_.initialCharacterSet);
    state_.picture.setCursorType(profile_.initialCursorType);
    // Build the code page's byte table now rather than in the first text
    // call, which would then take longer than its bytes on the wire.
    device::toCodePage(U" ", profile_.initialCharacterSet);
}

void SerialDisplay::openPort(std::chrono::milliseconds timeout, bool claiming) {
    try {
        port_ = Port::open(settings_.port, settings_.baud, timeout);
        initialised_ = false;
    } catch (const PortError& e) {
        const bool timedOut = claiming && e.kind() == PortFailure::busy;
        throw device::DeviceFailure(
            timedOut ? display::OPOS_E_TIMEOUT : display::OPOS_E_NOHARDWARE, e.what());
    }
}

void SerialDisplay::claim(std::chrono::milliseconds timeout) { openPort(timeout, true); }

void SerialDisplay::release() { port_.reset(); }

std::int32_t SerialDisplay::enable() {
    if (!port_) openPort(std::chrono::milliseconds(0), false);  // back after a failure
    // Whatever the display showed, start from power-on and draw everything.
    const Update redraw = writer_.update(writer_.afterInitialise(), state_.picture);
    try {
        send(writer_.initialiseBytes() + redraw.bytes);
    } catch (const device::DeviceFailure& e) {
        // A display that cannot be written to while being enabled is not there.
        throw device::DeviceFailure(display::OPOS_E_NOHARDWARE, e.what());
    }
    state_ = redraw.after;
    initialised_ = true;
    return display::OPOS_SUCCESS;
}

void SerialDisplay::apply(const device::DisplayOp& operation) {
    device::DisplayModel target = state_.picture;
    device::applyTo(target, operation);
    show(target);
}

void SerialDisplay::replaceWith(const device::DisplayModel& model) { show(model); }

void SerialDisplay::show(const device::DisplayModel& target) {
    if (!port_ || !initialised_) {
        throw device::DeviceFailure(display::OPOS_E_OFFLINE,
            "serial port " + settings_.port + " is closed after an earlier failure; enable the device again");
    }
    Update update = writer_.update(state_, target);
    send(update.bytes);
    state_ = std::move(update.after);
}

void SerialDisplay::send(const std::string& bytes) {
    if (bytes.empty()) return;
    const auto now = Clock::now();
    // The line is busy until what was written before is through; these bytes
    // follow, and the call returns when they should be through too.
    lineFree_ = std::max(lineFree_, now) + wireTime(bytes.size(), settings_.baud);
    try {
        port_->writeAll(bytes, lineFree_ + std::chrono::seconds(1));
    } catch (const PortError& e) {
        port_.reset();
        initialised_ = false;
        lineFree_ = {};
        if (trace_) {
            trace_->note(settings_.deviceName,
                "wire failed after " + std::to_string(bytes.size()) + " bytes were handed over: " + e.what());
        }
        throw device::DeviceFailure(display::OPOS_E_OFFLINE, e.what());
    }
    bytesSent_ += bytes.size();
    if (trace_) trace_->wire(settings_.deviceName, bytes);
    if (wireTap_) wireTap_(settings_.deviceName, bytes);
    // Return when the line is free: sleep (without the default 50 us of
    // timer slack) until just before, then yield the last moment away, as
    // waking from a sleep can take longer than a byte's 0.1 ms on the wire.
    const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    ::prctl(PR_SET_TIMERSLACK, 1000, 0, 0, 0);
    std::this_thread::sleep_until(lineFree_ - std::chrono::microseconds(150));
    if (slack > 0) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    while (Clock::now() < lineFree_) std::this_thread::yield();
}

device::HealthReport SerialDisplay::checkHealth(std::int32_t level) {
    switch (level) {
    case 1:
        // Internal: the port is open and the shadow has the display's size;
        // nothing is sent, the display cannot answer anyway.
        if (!port_) return {display::OPOS_E_OFFLINE, u"Internal HCheck: the serial port is closed"};
        if (state_.picture.deviceRows() != profile_.rows ||
            state_.picture.deviceColumns() != profile_.columns) {
            return {display::OPOS_E_FAILURE, u"Internal HCheck: display memory does not match the device"};
        }
        return {display::OPOS_SUCCESS, u"Internal HCheck: Successful"};
    case 2: {
        // External: every cell lit, then what was shown put back.
        const device::DisplayModel saved = state_.picture;
        device::DisplayModel pattern = saved;
        pattern.selectWindow(0);
        pattern.setCursor(0, 0);
        pattern.writeText(std::u32string(static_cast<std::size_t>(profile_.rows * profile_.columns), U'*'),
            device::attribute::normal, false);
        try {
            show(pattern);
            show(saved);
        } catch (const device::DeviceFailure&) {
            // The display went away under the pattern: what it must show
            // when it is back (and redrawn) is still the saved picture.
            state_.picture = saved;
            throw;
        }
        return {display::OPOS_SUCCESS, u"External HCheck: Successful"};
    }
    case 3:
        return {display::OPOS_E_ILLEGAL,
            u"Interactive HCheck: Not supported (a serial display has no operator dialog)"};
    default: return {display::OPOS_E_ILLEGAL, u"HCheck: no such level"};
    }
}

}  // namespace serial

#include "serial/SerialDisplay.h"

#include "display/ResultCodes.h"
#include "lettering/Font.h"
#include "model/CharacterSets.h"
#include "model/Repertoire.h"

#include <map>
#include <mutex>
#include <vector>

namespace serial {
namespace {

using Clock = std::chrono::steady_clock;

// What a profile needs of a command set in its own form: the
// CharacterSetList ("437,850,...") and the brightness levels as
// percentages, kept for the program's life since profiles hold them by view.
struct SetLists {
    std::string characterSets;
    std::vector<std::int32_t> levels;
};
const SetLists& listsOf(const model::CommandSet& set) {
    static std::mutex mutex;
    static std::map<const model::CommandSet*, SetLists> lists;
    std::lock_guard lock(mutex);
    const auto [it, added] = lists.try_emplace(&set);
    if (added) {
        // The set's code tables, and Unicode in its place among them.
        std::string& list = it->second.characterSets;
        const auto append = [&list](std::int32_t characterSet) {
            if (!list.empty()) list += ',';
            list += std::to_string(characterSet);
        };
        bool unicode = false;
        for (const model::CodeTable& table : set.codeTables) {
            if (!unicode && table.characterSet > model::charSetUnicode) {
                append(model::charSetUnicode);
                unicode = true;
            }
            append(table.characterSet);
        }
        if (!unicode) append(model::charSetUnicode);
        for (const model::Level& level : set.levels) it->second.levels.push_back(level.percent);
    }
    return it->second;
}

}  // namespace

model::DeviceProfile profileFor(const model::CommandSet& set, std::int32_t rows, std::int32_t columns) {
    namespace cap = model::cap;
    const auto has = [&](model::Command command) { return model::writerForm(set, command) != nullptr; };
    const SetLists& lists = listsOf(set);
    const bool dims = has(model::Command::brightness) && !lists.levels.empty();
    // Blinking: per character where the set has it as a mode (UTC
    // standard), else the whole display where it can blink (DM-D).
    std::int32_t blink = cap::blinkNone;
    if (has(model::Command::blink)) blink = cap::blinkAll;
    if (has(model::Command::blinkCharacters)) blink = cap::blinkEach;
    return model::DeviceProfile{
        .name = set.name,
        .rows = rows,
        .columns = columns,
        .capBlink = blink,
        .capReverse = has(model::Command::reverse) ? cap::reverseEach : cap::reverseNone,
        .capBrightness = dims,
        .brightnessLevels =
            dims ? std::span<const std::int32_t>(lists.levels) : std::span<const std::int32_t>{},
        // The sets can only show or hide their cursor, which is an
        // underline; the whole-row sets and the ANSI set have none to show.
        .capCursorType = has(model::Command::cursorVisible) ? cap::cursorUnderline : 0,
        .initialCursorType = model::cursor::none,
        // User characters stay with the writer, which draws characters the
        // pages lack with them: the control offers no DefineGlyph.
        .capCustomGlyph = false,
        .capCharacterSet = cap::charSetUnicode,
        .characterSetList = lists.characterSets,
        .initialCharacterSet = model::charSetUnicode,
        // Slow output and windows are the control object's; the display just
        // shows the cells they produce.
        .capICharWait = true,
        .capPowerReporting = cap::powerStandard,
        .deviceWindows = 4,
    };
}

SerialDisplay::SerialDisplay(SerialSettings settings, std::shared_ptr<device::Trace> trace, WireTap wireTap)
    : settings_(std::move(settings)),
      trace_(std::move(trace)),
      wireTap_(std::move(wireTap)),
      profile_(profileFor(*settings_.commandSet, settings_.rows, settings_.columns)),
      writer_(*settings_.commandSet, settings_.rows, settings_.columns),
      loader_(*settings_.commandSet),
      state_(writer_.afterInitialise()) {
    if (settings_.characterSet) profile_.initialCharacterSet = *settings_.characterSet;
    state_.picture.setCharacterSet(profile_.initialCharacterSet);
    state_.picture.setCursorType(profile_.initialCursorType);
    wanted_ = state_.picture;
    // Build the code page's byte table now rather than in the first text
    // call, which would then take longer than its bytes on the wire.
    model::toCodePage(U" ", profile_.initialCharacterSet);
}

void SerialDisplay::openPort(std::chrono::milliseconds timeout, bool claiming) {
    // Raw mode and display commands on the console would garble what the
    // machine tells its operator: only when the configuration asks for it.
    if (const std::string why = consoleUse(settings_.port); !why.empty() && !settings_.allowConsole) {
        throw device::DeviceFailure(display::OPOS_E_NOHARDWARE,
            "serial port " + settings_.port + " is not used: " + why +
                "; say allow-console = true in its device configuration to use it all the same");
    }
    try {
        port_ = Port::open(settings_.port, settings_.line, timeout);
        initialised_ = false;
        if (trace_) {
            std::string line = "port " + settings_.port + " opened at " + model::describe(settings_.line) +
                               ", command set " + std::string(settings_.commandSet->name);
            if (!port_->notApplied().empty())
                line += "; not applied by this port (a pseudo-terminal): " + port_->notApplied();
            // Without the 5x7 font (a recommended package) letters the pages
            // lack are transliterated instead of drawn: say why.
            if (const lettering::Font& font = lettering::Font::standard();
                font.empty() && model::repertoireOf(*settings_.commandSet).user.budget > 0)
                line += "; no user characters: " + font.problem();
            trace_->note(settings_.deviceName, line);
        }
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
    ShadowState fresh = writer_.afterInitialise();
    const model::DisplayModel& target = wanted_;
    std::string loading;
    model::DisplayModel glass = target;
    if (target.characterSet() == model::charSetUnicode) {
        UserCharacterLoader::Loading l = loader_.load(fresh, target);
        loading = std::move(l.bytes);
        glass = std::move(l.picture);
        traceFallbacks(l.fallbacks);
    }
    const Update redraw = writer_.update(fresh, glass);
    try {
        send(writer_.initialiseBytes() + loading + redraw.bytes);
    } catch (const device::DeviceFailure& e) {
        // A display that cannot be written to while being enabled is not there.
        throw device::DeviceFailure(display::OPOS_E_NOHARDWARE, e.what());
    }
    state_ = redraw.after;
    initialised_ = true;
    return display::OPOS_SUCCESS;
}

std::u32string SerialDisplay::layOutUnicode(std::u32string_view text) {
    lettering::Shaper::Result shaped = loader_.shaper().shape(text);
    // User characters are reported when they are loaded, with their code.
    std::erase_if(shaped.fallbacks,
        [](const lettering::Fallback& f) { return f.kind == lettering::Fallback::Kind::userCharacter; });
    traceFallbacks(shaped.fallbacks);
    return std::move(shaped.text);
}

void SerialDisplay::traceFallbacks(const std::vector<lettering::Fallback>& fallbacks) const {
    if (!trace_) return;
    for (const lettering::Fallback& f : fallbacks)
        trace_->fallback(settings_.deviceName, f.characters, f.shown, lettering::how(f));
}

void SerialDisplay::apply(const model::DisplayOp& operation) {
    model::DisplayModel target = wanted_;
    model::applyTo(target, operation);
    show(target);
}

void SerialDisplay::replaceWith(const model::DisplayModel& model) { show(model); }

void SerialDisplay::show(const model::DisplayModel& target) {
    if (!port_ || !initialised_) {
        throw device::DeviceFailure(display::OPOS_E_OFFLINE,
            "serial port " + settings_.port + " is closed after an earlier failure; enable the device again");
    }
    ShadowState from = state_;
    std::string loading;
    model::DisplayModel glass = target;
    std::vector<lettering::Fallback> fallbacks;
    if (target.characterSet() == model::charSetUnicode) {
        UserCharacterLoader::Loading l = loader_.load(from, target);
        loading = std::move(l.bytes);
        glass = std::move(l.picture);
        fallbacks = std::move(l.fallbacks);
    }
    Update update = writer_.update(from, glass);
    send(loading + update.bytes);
    state_ = std::move(update.after);
    wanted_ = target;
    traceFallbacks(fallbacks);
}

void SerialDisplay::send(const std::string& bytes) {
    if (bytes.empty()) return;
    const auto now = Clock::now();
    // The line is busy until what was written before is through; these bytes
    // follow, and the call returns when they should be through too.
    lineFree_ = std::max(lineFree_, now) + Port::wireTime(bytes.size(), settings_.line);
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
    port_->waitUntilSent(lineFree_);
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
        const model::DisplayModel saved = wanted_;
        model::DisplayModel pattern = saved;
        pattern.selectWindow(0);
        pattern.setCursor(0, 0);
        pattern.writeText(std::u32string(static_cast<std::size_t>(profile_.rows * profile_.columns), U'*'),
            model::attribute::normal, false);
        try {
            show(pattern);
            show(saved);
        } catch (const device::DeviceFailure&) {
            // The display went away under the pattern: what it must show
            // when it is back (and redrawn) is still the saved picture.
            wanted_ = saved;
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

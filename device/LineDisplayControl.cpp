#include "device/LineDisplayControl.h"

#include "display/DispatchError.h"
#include "display/Literal.h"
#include "display/ResultCodes.h"
#include "model/CharacterSets.h"
#include "model/Utf.h"

#ifdef LDT_SEEDED_FAULTS
#include "SeededFaults.h"
#endif

#include <array>
#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

namespace device {

using display::DispatchError;
using display::dispIdOf;
using display::FailureKind;
using display::Operation;
using display::Variant;
using display::VariantType;
using namespace display;  // the OPOS result codes

namespace {

constexpr std::int32_t stateClosed = 1, stateIdle = 2;
constexpr std::int32_t powerUnknown = 2000, powerOnline = 2001, powerOffOffline = 2004;

std::string name(const Operation& op) { return std::string(op.name); }

std::string typeList(std::span<const VariantType> types) {
    std::string list;
    for (const auto type : types) {
        if (!list.empty()) list += ", ";
        list += display::typeName(type);
    }
    return list;
}

std::string argumentCountMessage(const Operation& op, std::size_t got) {
    const auto params = op.parameters();
    std::string message = name(op) + " takes ";
    if (params.empty()) {
        message += "no arguments";
    } else {
        message += std::to_string(params.size()) + (params.size() == 1 ? " argument (" : " arguments (") +
                   typeList(params) + ")";
    }
    return message + ", got " + std::to_string(got);
}

// The value in the wanted type, by the coercions the class comment states;
// throws TypeMismatch naming the operation and the position otherwise.
Variant coerce(const Operation& op, const std::string& what, VariantType wanted, const Variant& value) {
    if (value.type() == wanted) return value;
    if (wanted == VariantType::Int32 && value.type() == VariantType::Boolean) {
        return Variant::fromInt32(value.rawBool());
    }
    if (wanted == VariantType::Boolean && value.type() == VariantType::Int32) {
        return Variant::fromBool(value.int32() != 0);
    }
    throw DispatchError(FailureKind::TypeMismatch,
        what + " of " + name(op) + " must be " + (wanted == VariantType::Int32 ? "an " : "a ") +
            display::typeName(wanted) + ", got " + value.describe());
}

Variant zeroOf(VariantType type) {
    switch (type) {
    case VariantType::Boolean: return Variant::fromBool(false);
    case VariantType::String: return Variant::fromString(u"");
    default: return Variant::fromInt32(0);
    }
}

bool isBlink(std::int32_t attr) {
    return attr == model::attribute::blink || attr == model::attribute::blinkReverse;
}
bool isReverse(std::int32_t attr) {
    return attr == model::attribute::reverse || attr == model::attribute::blinkReverse;
}

}  // namespace

LineDisplayControl::Session::Session(
    const model::DeviceProfile& p, const std::string& name, std::unique_ptr<ServiceObject> service)
    : profile(p), claim(name), model(p.rows, p.columns), windows(1), channel(std::move(service)) {
    model.setCharacterSet(p.initialCharacterSet);
    model.setCursorType(p.initialCursorType);
}

LineDisplayControl::LineDisplayControl(std::shared_ptr<const DeviceRegistry> registry)
    : registry_(std::move(registry)), resultCode_(OPOS_E_CLOSED) {}

LineDisplayControl::~LineDisplayControl() = default;

Variant LineDisplayControl::invoke(display::DispId id, unsigned flags, std::span<const Variant> args) {
    // Reading the clock costs as much as the rest of a property read, so it
    // is read only when the call can end up in a trace: when tracing is on,
    // or for Open, which turns it on.
    const bool timed = trace_ != nullptr || id == display::dispIdOf("Open");
    const auto started = timed ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point{};
    const Operation* op = display::findOperation(id);
    try {
#ifdef LDT_SEEDED_FAULTS
        // Test builds only: a seeded fault may answer instead of the rules, or change their answer.
        const std::int32_t codeBefore = resultCode_;
        const std::optional<Variant> seeded =
            op ? SeededFaults::before(*this, *op, flags, args) : std::nullopt;
        Variant result = seeded ? *seeded : invokeChecked(op, id, flags, args);
        if (op && !seeded) SeededFaults::after(*this, *op, flags, args, result, codeBefore);
#else
        Variant result = invokeChecked(op, id, flags, args);
#endif
        if (trace_) {
            const bool isRead = op != nullptr && !op->isMethod && !(flags & display::invokePropertyPut);
            const std::string outcome =
                isRead ? display::literal(result) : display::resultLiteral(resultCode_);
            traceCall(op, id, flags, args, outcome, std::chrono::steady_clock::now() - started);
        }
        return result;
    } catch (const DispatchError& e) {
        if (trace_)
            traceCall(op, id, flags, args, "error " + display::quotedLiteral(model::utf16(e.what())),
                std::chrono::steady_clock::now() - started);
        throw;
    } catch (const std::exception& e) {
        // A service object that fails (a port that breaks, say) fails the
        // call, with the operation named, rather than escaping as a bare
        // exception the console cannot explain.
        const std::string why =
            (op ? name(*op) : std::to_string(id)) + " failed inside the Line Display control: " + e.what();
        if (trace_)
            traceCall(op, id, flags, args, "error " + display::quotedLiteral(model::utf16(why)),
                std::chrono::steady_clock::now() - started);
        throw DispatchError(FailureKind::ControlFault, why);
    }
}

void LineDisplayControl::traceCall(const Operation* op, display::DispId id, unsigned flags,
    std::span<const Variant> args, const std::string& outcome,
    std::chrono::steady_clock::duration took) const {
    // The line is a statement of the script language (see Trace.h); a call
    // by a dispatch ID no operation has cannot be one and becomes a note.
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "literal" + std::string.
    std::string statement = op ? name(*op) : "call of dispatch ID " + std::to_string(id);
    if (op && (flags & display::invokePropertyPut)) statement.append(" =");
    for (const Variant& arg : args) statement.append(" ").append(display::literal(arg));
    if (op == nullptr) {
        trace_->note(deviceName_, statement.append(" -> ").append(outcome));
        return;
    }
    trace_->call(deviceName_, statement, outcome, took);
}

void LineDisplayControl::report(std::string_view what, const std::string& reason) const {
    const std::string line = "Line Display \"" + deviceName_ + "\": " + std::string(what) + ": " + reason;
    std::cerr << line << std::endl;
    if (trace_) trace_->note(deviceName_, line);
}

template <typename F>
std::int32_t LineDisplayControl::guarded(const Operation& op, F&& call) {
    // Slow output that failed on the channel's thread since the last call
    // counts before this call: the device may be gone.
    if (session_) {
        if (const auto failure = session_->channel.takeFailure()) deviceFailed("slow output", *failure);
    }
    try {
        return call();
    } catch (const DeviceFailure& failure) {
        const std::int32_t code = failure.code();
        deviceFailed(name(op) + " gives " + std::to_string(code) + " " +
                         std::string(display::resultCodeName(code).value_or("")),
            failure);
        return code;
    }
}

void LineDisplayControl::deviceFailed(const std::string& what, const DeviceFailure& failure) {
    report(what, failure.what());
    if (session_ && session_->enabled && failure.code() == OPOS_E_OFFLINE) {
        // What the device shows is what it showed before the failure:
        // the application's picture goes back to it, pending output with it.
        session_->offline = true;
        session_->channel.dropPending();
        session_->model = session_->channel.shown();
    }
}

Variant LineDisplayControl::invokeChecked(
    const Operation* op, display::DispId id, unsigned flags, std::span<const Variant> args) {
    if (op == nullptr) {
        throw DispatchError(FailureKind::UnknownMember,
            "the Line Display control has no operation with dispatch ID " + std::to_string(id));
    }
    if (flags & display::invokePropertyPut) {
        if (!op->writable) {
            throw DispatchError(FailureKind::UnknownMember,
                name(*op) + (op->isMethod ? " is a method and cannot be written"
                                          : " is a read-only property and cannot be written"));
        }
        if (args.size() != 1) {
            throw DispatchError(FailureKind::BadArgumentCount, "writing " + name(*op) + " takes 1 value (" +
                                                                   display::typeName(op->valueType) +
                                                                   "), got " + std::to_string(args.size()));
        }
        const Variant value = coerce(*op, "the value written", op->valueType, args[0]);
        resultCode_ = guarded(*op, [&] { return write(*op, value); });
        resultCodeExtended_ = 0;
        return {};
    }
    if (op->isMethod) {
        if (!(flags & display::invokeMethod)) {
            throw DispatchError(
                FailureKind::UnknownMember, name(*op) + " is a method; it cannot be read as a property");
        }
        const auto params = op->parameters();
        if (args.size() != params.size()) {
            throw DispatchError(FailureKind::BadArgumentCount, argumentCountMessage(*op, args.size()));
        }
        std::vector<Variant> coerced;
        for (std::size_t i = 0; i < params.size(); ++i) {
            coerced.push_back(coerce(*op, "argument " + std::to_string(i + 1), params[i], args[i]));
        }
        const std::int32_t result = guarded(*op, [&] { return callMethod(*op, coerced); });
        resultCode_ = result;
        resultCodeExtended_ = 0;
        return Variant::fromInt32(result);
    }
    if (!(flags & display::invokePropertyGet)) {
        throw DispatchError(
            FailureKind::UnknownMember, name(*op) + " is a property; it cannot be called as a method");
    }
    if (!args.empty()) {
        throw DispatchError(FailureKind::BadArgumentCount,
            "reading " + name(*op) + " takes no arguments, got " + std::to_string(args.size()));
    }
    return read(*op);
}

std::int32_t LineDisplayControl::callMethod(const Operation& op, std::span<const Variant> a) {
    switch (op.id) {
    case dispIdOf("Open"): return open(a[0].string());
    case dispIdOf("ClaimDevice"): return claimDevice(a[0].int32());
    case dispIdOf("Close"): return close();
    case dispIdOf("ReleaseDevice"): return releaseDevice();
    case dispIdOf("CheckHealth"): return checkHealth(a[0].int32());
    case dispIdOf("ClearText"): return clearText();
    case dispIdOf("DestroyWindow"): return destroyWindow();
    case dispIdOf("DisplayText"): return displayText(a[0].string(), a[1].int32());
    case dispIdOf("DisplayTextAt"):
        return displayTextAt(a[0].int32(), a[1].int32(), a[2].string(), a[3].int32());
    case dispIdOf("CreateWindow"):
        return createWindow(
            {a[0].int32(), a[1].int32(), a[2].int32(), a[3].int32(), a[4].int32(), a[5].int32()});
    default: break;
    }
    throw DispatchError(
        FailureKind::ControlFault, "the built-in Line Display control does not implement " + name(op));
}

// ---- Reads -------------------------------------------------------------

Variant LineDisplayControl::read(const Operation& op) const {
    // These three tell about the control itself and read the same whether the
    // device is open or not.
    switch (op.id) {
    case dispIdOf("State"): return Variant::fromInt32(session_ ? stateIdle : stateClosed);
    case dispIdOf("ResultCode"): return Variant::fromInt32(resultCode_);
    case dispIdOf("ResultCodeExtended"): return Variant::fromInt32(resultCodeExtended_);
    default: break;
    }
    if (!session_) return zeroOf(op.valueType);

    const Session& s = *session_;
    const model::DeviceProfile& p = s.profile;
    const WindowSettings& w = currentSettings();
    const auto i32 = [](std::int32_t v) { return Variant::fromInt32(v); };
    const auto boolean = [](bool v) { return Variant::fromBool(v); };
    const auto text = [](std::u16string v) { return Variant::fromString(std::move(v)); };
    switch (op.id) {
    case dispIdOf("DeviceEnabled"): return boolean(s.enabled);
    case dispIdOf("CursorUpdate"): return boolean(w.cursorUpdate);
    case dispIdOf("PowerNotify"): return i32(s.powerNotify);
    case dispIdOf("CursorColumn"): return i32(s.model.cursorColumn());
    case dispIdOf("CursorRow"): return i32(s.model.cursorRow());
    case dispIdOf("DeviceBrightness"): return i32(s.model.brightness());
    case dispIdOf("InterCharacterWait"): return i32(w.interCharacterWait);
    case dispIdOf("MarqueeFormat"): return i32(w.marqueeFormat);
    case dispIdOf("MarqueeRepeatWait"): return i32(w.marqueeRepeatWait);
    case dispIdOf("MarqueeType"): return i32(w.marqueeType);
    case dispIdOf("MarqueeUnitWait"): return i32(w.marqueeUnitWait);
    case dispIdOf("CursorType"): return i32(s.model.cursorType());
    case dispIdOf("BinaryConversion"): return i32(s.binaryConversion);
    case dispIdOf("CapPowerReporting"): return i32(p.capPowerReporting);
    case dispIdOf("PowerState"): {
        // The state is known only while it is being watched: enabled, with
        // notification on, on a device that reports power.
        if (!s.enabled || s.powerNotify != 1 || p.capPowerReporting == model::cap::powerNone)
            return i32(powerUnknown);
        const bool online = s.channel.call([](ServiceObject& so) { return so.online(); });
        return i32(online ? powerOnline : powerOffOffline);
    }
    case dispIdOf("CapBlink"): return i32(p.capBlink);
    case dispIdOf("CharacterSet"): return i32(s.model.characterSet());
    case dispIdOf("Columns"): return i32(s.model.columns());
    case dispIdOf("CurrentWindow"): return i32(s.model.currentWindow());
    case dispIdOf("DeviceDescriptors"): return i32(p.deviceDescriptors);
    case dispIdOf("DeviceWindows"): return i32(p.deviceWindows);
    case dispIdOf("Rows"): return i32(s.model.rows());
    case dispIdOf("CapCursorType"): return i32(p.capCursorType);
    case dispIdOf("CapReverse"): return i32(p.capReverse);
    case dispIdOf("Claimed"): return boolean(s.claim.held());
    case dispIdOf("FreezeEvents"): return boolean(s.freezeEvents);
    case dispIdOf("CapBrightness"): return boolean(p.capBrightness);
    case dispIdOf("CapDescriptors"): return boolean(p.capDescriptors);
    case dispIdOf("CapHMarquee"): return boolean(p.capHMarquee);
    case dispIdOf("CapVMarquee"): return boolean(p.capVMarquee);
    case dispIdOf("CapBlinkRate"): return boolean(p.capBlinkRate);
    case dispIdOf("CapCustomGlyph"): return boolean(p.capCustomGlyph);
    case dispIdOf("CheckHealthText"): return text(s.checkHealthText);
    case dispIdOf("CharacterSetList"): return text(model::utf16(p.characterSetList));
    case dispIdOf("CustomGlyphList"): return text(model::utf16(p.customGlyphList));
    case dispIdOf("CapCharacterSet"): return i32(p.capCharacterSet);
    case dispIdOf("CapICharWait"): return boolean(p.capICharWait);
    case dispIdOf("DeviceColumns"): return i32(p.columns);
    case dispIdOf("DeviceRows"): return i32(p.rows);
    default: break;
    }
    throw DispatchError(
        FailureKind::ControlFault, "the built-in Line Display control cannot read " + name(op));
}

// ---- Writes ------------------------------------------------------------

std::int32_t LineDisplayControl::write(const Operation& op, const Variant& value) {
    if (!session_) return OPOS_E_CLOSED;
    if (const auto code = writeWhileOpen(op, value)) return *code;
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    return writeWhileEnabled(op, value);
}

std::optional<std::int32_t> LineDisplayControl::writeWhileOpen(const Operation& op, const Variant& value) {
    Session& s = *session_;
    const model::DeviceProfile& p = s.profile;
    switch (op.id) {
    case dispIdOf("DeviceEnabled"): {
        const bool wanted = value.rawBool() != 0;
        if (!s.claim.held()) return notClaimedCode();
        // Enabling an enabled device that went offline brings it back.
        if (wanted == s.enabled && !(wanted && s.offline)) return OPOS_SUCCESS;
        if (!wanted) {
            disable();
            return OPOS_SUCCESS;
        }
        const std::int32_t result = s.channel.call([](ServiceObject& so) { return so.enable(); });
        if (result == OPOS_SUCCESS) {
            s.enabled = true;
            s.offline = false;
        }
        return result;
    }
    case dispIdOf("FreezeEvents"): s.freezeEvents = value.rawBool() != 0; return OPOS_SUCCESS;
    case dispIdOf("BinaryConversion"):
        if (value.int32() < 0 || value.int32() > 2) return OPOS_E_ILLEGAL;
        s.binaryConversion = value.int32();
        return OPOS_SUCCESS;
    case dispIdOf("PowerNotify"):
        // Fixed before enabling: the application chooses whether to watch
        // power while the device is still quiet.
        if (s.enabled || p.capPowerReporting == model::cap::powerNone) return OPOS_E_ILLEGAL;
        if (value.int32() != 0 && value.int32() != 1) return OPOS_E_ILLEGAL;
        s.powerNotify = value.int32();
        return OPOS_SUCCESS;
    default: return std::nullopt;
    }
}

std::int32_t LineDisplayControl::writeWhileEnabled(const Operation& op, const Variant& value) {
    Session& s = *session_;
    const model::DeviceProfile& p = s.profile;
    const std::int32_t v = value.type() == VariantType::Int32 ? value.int32() : value.rawBool();
    WindowSettings& w = currentSettings();
    model::DisplayModel& m = s.model;
    switch (op.id) {
    case dispIdOf("CursorUpdate"): w.cursorUpdate = v != 0; return OPOS_SUCCESS;
    case dispIdOf("CursorRow"):
    case dispIdOf("CursorColumn"): {
        const bool isRow = op.id == dispIdOf("CursorRow");
        const std::int32_t row = isRow ? v : m.cursorRow();
        const std::int32_t column = isRow ? m.cursorColumn() : v;
        if (!m.fitsCursor(row, column)) return OPOS_E_ILLEGAL;
        m.setCursor(row, column);
        s.channel.deliver(model::op::SetCursor{row, column});
        return OPOS_SUCCESS;
    }
    case dispIdOf("CursorType"):
        if (!cursorTypeAllowed(v)) return OPOS_E_ILLEGAL;
        m.setCursorType(v);
        s.channel.deliver(model::op::CursorType{v});
        return OPOS_SUCCESS;
    case dispIdOf("DeviceBrightness"): {
        if (v < 0 || v > 100) return OPOS_E_ILLEGAL;
        const std::int32_t level = model::nearestBrightness(p, v);
        m.setBrightness(level);
        s.channel.deliver(model::op::Brightness{level});
        return OPOS_SUCCESS;
    }
    case dispIdOf("InterCharacterWait"):
        if (v < 0 || (v > 0 && !p.capICharWait)) return OPOS_E_ILLEGAL;
        w.interCharacterWait = v;
        if (v == 0) s.channel.showPendingNow();
        return OPOS_SUCCESS;
    case dispIdOf("MarqueeFormat"):
        if (v != 0 && v != 1) return OPOS_E_ILLEGAL;
        w.marqueeFormat = v;
        return OPOS_SUCCESS;
    case dispIdOf("MarqueeRepeatWait"):
        if (v < 0) return OPOS_E_ILLEGAL;
        w.marqueeRepeatWait = v;
        return OPOS_SUCCESS;
    case dispIdOf("MarqueeUnitWait"):
        if (v < 0) return OPOS_E_ILLEGAL;
        w.marqueeUnitWait = v;
        return OPOS_SUCCESS;
    case dispIdOf("MarqueeType"): {
        const std::int32_t result = marqueeTypeResult(v);
        if (result == OPOS_SUCCESS) w.marqueeType = v;
        return result;
    }
    case dispIdOf("CharacterSet"):
        if (!model::listsCharacterSet(p, v) || !model::knownCharacterSet(v)) return OPOS_E_ILLEGAL;
        m.setCharacterSet(v);
        s.channel.deliver(model::op::CharacterSet{v});
        return OPOS_SUCCESS;
    case dispIdOf("CurrentWindow"):
        if (!m.hasWindow(v)) return OPOS_E_ILLEGAL;
        m.selectWindow(v);
        s.channel.deliver(model::op::SelectWindow{v});
        return OPOS_SUCCESS;
    default: break;
    }
    throw DispatchError(
        FailureKind::ControlFault, "the built-in Line Display control cannot write " + name(op));
}

// ---- Life cycle --------------------------------------------------------

std::int32_t LineDisplayControl::open(const std::u16string& deviceName) {
    if (session_) return OPOS_E_ILLEGAL;
    const std::string nameUtf8 = model::utf8(deviceName);
    const DeviceRegistry::Factory* factory = registry_->find(nameUtf8);
    if (factory == nullptr) return OPOS_E_NOEXIST;
    deviceName_ = nameUtf8;
    trace_ = registry_->traceOf(nameUtf8);
    std::unique_ptr<ServiceObject> service;
    try {
        service = (*factory)();
    } catch (const std::exception& e) {
        // A service that cannot start is "no service", whatever the reason;
        // the reason (a broken configuration entry, say) goes to the user.
        report("Open gives 104 OPOS_E_NOSERVICE", e.what());
        service.reset();
    }
    if (!service) return OPOS_E_NOSERVICE;
    // The device works without its trace, but the technician who asked for one hears why it is off.
    if (const std::string why = registry_->traceProblemOf(nameUtf8); !why.empty()) report("Open", why);
    const model::DeviceProfile profile = service->profile();
    session_ = std::make_unique<Session>(profile, nameUtf8, std::move(service));
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::claimDevice(std::int32_t timeout) {
    if (!session_) return OPOS_E_CLOSED;
    if (timeout < -1) return OPOS_E_ILLEGAL;
    if (session_->claim.held()) return OPOS_SUCCESS;
    // One timeout for both steps: the device name's claim, then the device.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    const auto timeLeft = [&] {
        if (timeout < 0) return std::chrono::milliseconds(-1);
        return std::max(std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          deadline - std::chrono::steady_clock::now()));
    };
    if (!session_->claim.tryAcquire()) {
        // Waiting for another console is ordinary; a claim squatted by another
        // user, or by something that is no console, is said before the wait.
        if (const std::string who = session_->claim.foreignHolder(); !who.empty())
            report("ClaimDevice waits", "the claim of this device is " + who);
        if (!session_->claim.acquireWithin(timeLeft())) return OPOS_E_TIMEOUT;
    }
    const auto left = timeLeft();
    try {
        session_->channel.call([left](ServiceObject& so) { so.claim(left); });
    } catch (...) {
        session_->claim.release();  // not claimed unless the device is taken too
        throw;
    }
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::releaseDevice() {
    if (!session_) return OPOS_E_CLOSED;
    if (!session_->claim.held()) return OPOS_E_ILLEGAL;
    if (session_->enabled) disable();
    session_->channel.call([](ServiceObject& so) { so.release(); });
    session_->claim.release();
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::close() {
    if (!session_) return OPOS_E_CLOSED;
    if (session_->enabled) {
        session_->channel.dropPending();
        session_->channel.call([](ServiceObject& so) { so.disable(); });
    }
    if (session_->claim.held()) {
        session_->channel.call([](ServiceObject& so) { so.release(); });
    }
    session_.reset();  // drops windows and pending output, frees the claim
    return OPOS_SUCCESS;
}

void LineDisplayControl::disable() {
    // What the application wrote reaches the device before it goes quiet.
    session_->channel.showPendingNow();
    session_->channel.call([](ServiceObject& so) { so.disable(); });
    session_->enabled = false;
    session_->offline = false;
}

std::int32_t LineDisplayControl::notClaimedCode() const {
    return session_->claim.heldElsewhere() ? OPOS_E_CLAIMED : OPOS_E_NOTCLAIMED;
}

std::int32_t LineDisplayControl::usable() const {
    if (!session_) return OPOS_E_CLOSED;
    if (!session_->claim.held()) return notClaimedCode();
    if (!session_->enabled) return OPOS_E_DISABLED;
    if (session_->offline) return OPOS_E_OFFLINE;
    return OPOS_SUCCESS;
}

// ---- Health ------------------------------------------------------------

std::int32_t LineDisplayControl::checkHealth(std::int32_t level) {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    if (level < 1 || level > 3) return OPOS_E_ILLEGAL;  // no check ran: the text stays
    session_->channel.showPendingNow();
    const HealthReport report =
        session_->channel.call([level](ServiceObject& so) { return so.checkHealth(level); });
    session_->checkHealthText = report.text;
    return report.result;
}

// ---- Text output -------------------------------------------------------

bool LineDisplayControl::attributeAllowed(std::int32_t attr) const {
    if (attr < model::attribute::normal || attr > model::attribute::blinkReverse) return false;
    const model::DeviceProfile& p = session_->profile;
    if (isBlink(attr) && p.capBlink == model::cap::blinkNone) return false;
    if (isReverse(attr) && p.capReverse == model::cap::reverseNone) return false;
    return true;
}

void LineDisplayControl::writeOut(const std::u16string& data, std::int32_t attr) {
    Session& s = *session_;
    std::u32string shown = model::mapToCharacterSet(data, s.model.characterSet());
    if (shown.empty()) return;
    // Unicode leaves the choice to the device: it lays the text out as it
    // will show it, and this picture follows, cell for cell.
    if (s.model.characterSet() == model::charSetUnicode)
        shown = s.channel.call([&](ServiceObject& so) { return so.layOutUnicode(shown); });
    const WindowSettings& w = currentSettings();
    s.model.writeText(shown, attr, w.cursorUpdate);
    if (w.interCharacterWait > 0 && s.profile.capICharWait) {
        // One character at a time, each followed by the wait; the cursor
        // ends where the application's model says.
        const std::chrono::milliseconds wait(w.interCharacterWait);
        for (const char32_t ch : shown)
            s.channel.deliver(model::op::Text{std::u32string(1, ch), attr, true}, wait);
        if (!w.cursorUpdate)
            s.channel.deliver(model::op::SetCursor{s.model.cursorRow(), s.model.cursorColumn()});
    } else {
        s.channel.deliver(model::op::Text{shown, attr, w.cursorUpdate});
    }
}

std::int32_t LineDisplayControl::displayText(const std::u16string& data, std::int32_t attr) {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    if (!attributeAllowed(attr)) return OPOS_E_ILLEGAL;
    writeOut(data, attr);
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::displayTextAt(
    std::int32_t row, std::int32_t column, const std::u16string& data, std::int32_t attr) {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    model::DisplayModel& m = session_->model;
    if (row < 0 || row >= m.rows() || column < 0 || column >= m.columns()) return OPOS_E_ILLEGAL;
    if (!attributeAllowed(attr)) return OPOS_E_ILLEGAL;
    m.setCursor(row, column);
    session_->channel.deliver(model::op::SetCursor{row, column});
    writeOut(data, attr);
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::clearText() {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    session_->model = session_->channel.clearDiscardingPending();
    return OPOS_SUCCESS;
}

// ---- Windows -----------------------------------------------------------

std::int32_t LineDisplayControl::createWindow(const model::WindowGeometry& geometry) {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    Session& s = *session_;
    if (!s.model.fitsDevice(geometry)) return OPOS_E_ILLEGAL;
    if (s.model.windowCount() > s.profile.deviceWindows) return OPOS_E_ILLEGAL;  // all window numbers in use
    const auto number = static_cast<std::size_t>(s.model.createWindow(geometry, s.profile.initialCursorType));
    if (s.windows.size() <= number) s.windows.resize(number + 1);
    s.windows[number] = WindowSettings{};  // a reused number starts afresh
    s.channel.deliver(model::op::CreateWindow{geometry, s.profile.initialCursorType});
    return OPOS_SUCCESS;
}

std::int32_t LineDisplayControl::destroyWindow() {
    if (const std::int32_t code = usable(); code != OPOS_SUCCESS) return code;
    Session& s = *session_;
    if (s.model.currentWindow() == 0) return OPOS_E_ILLEGAL;
    s.model.destroyWindow();  // the other windows keep their numbers, and their settings with them
    s.channel.deliver(model::op::DestroyWindow{});
    return OPOS_SUCCESS;
}

// ---- Cursor and marquee rules ------------------------------------------

bool LineDisplayControl::cursorTypeAllowed(std::int32_t type) const {
    const std::int32_t caps = session_->profile.capCursorType;
    if (caps == 0 || (caps & model::cap::cursorFixed)) return false;  // nothing to choose
    if ((type & model::cursor::blinkFlag) && !(caps & model::cap::cursorBlink)) return false;
    const std::int32_t base = type & ~model::cursor::blinkFlag;
    if (base == model::cursor::none) return true;
    if (base < model::cursor::fixed || base > model::cursor::other) return false;
    return (caps & (1 << (base - 1))) != 0;  // CursorType n needs CapCursorType bit n-1
}

std::int32_t LineDisplayControl::marqueeTypeResult(std::int32_t type) const {
    constexpr std::int32_t none = 0, up = 1, down = 2, left = 3, right = 4, init = 5;
    if (type < none || type > init) return OPOS_E_ILLEGAL;
    if (type == none) return OPOS_SUCCESS;
    const model::DeviceProfile& p = session_->profile;
    const model::WindowGeometry& g = session_->model.geometry(session_->model.currentWindow());
    const bool vertical = p.capVMarquee && g.height > g.viewportHeight;
    const bool horizontal = p.capHMarquee && g.width > g.viewportWidth;
    if (type == up || type == down) return vertical ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
    if (type == left || type == right) return horizontal ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
    return vertical || horizontal ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

// ---- Observation -------------------------------------------------------

std::vector<std::u16string> LineDisplayControl::shownRows() const {
    if (!session_) return {};
    return session_->channel.shown().shownRows();
}

std::optional<model::DisplayModel> LineDisplayControl::shownModel() const {
    if (!session_) return std::nullopt;
    return session_->channel.shown();
}

void LineDisplayControl::waitUntilIdle() const {
    if (session_) session_->channel.waitUntilIdle();
}

void registerBuiltInControl(
    display::ControlFactory& factory, const std::shared_ptr<const DeviceRegistry>& registry) {
    factory.registerProgId(std::string(display::lineDisplayProgId),
        [registry] { return std::make_unique<LineDisplayControl>(registry); });
}

}  // namespace device

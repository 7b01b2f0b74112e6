#include "run/Runner.h"

#include "app/Console.h"
#include "display/Conversions.h"
#include "display/Literal.h"
#include "display/ResultCodes.h"
#include "model/Hex.h"
#include "model/Utf.h"

#include <algorithm>

namespace run {
namespace {

using Clock = std::chrono::steady_clock;
using display::Variant;

// Texts longer than this are a mistake in the script ("x" * 100000000).
constexpr std::size_t longestText = 1 << 20;

// A result code for a message: "OPOS_E_ILLEGAL (106)", or the value as it came.
std::string codeText(const Variant& v) {
    if (v.type() != display::VariantType::Int32) return display::literal(v);
    const std::string name = display::resultLiteral(v.int32());
    return name == std::to_string(v.int32()) ? name : name + " (" + std::to_string(v.int32()) + ")";
}

std::string bytesText(const std::string& bytes) {
    if (bytes.empty()) return "nothing";
    return model::hexBytes(bytes) + " (" + std::to_string(bytes.size()) +
           (bytes.size() == 1 ? " byte)" : " bytes)");
}

std::u16string trimmed(std::u16string text) {
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

}  // namespace

std::string lineOf(const Location& where) { return where.file + ":" + std::to_string(where.line); }

// ---- DeviceFacts ----------------------------------------------------------

DeviceFacts::DeviceFacts(Target& target, std::string device) : target_(target), device_(std::move(device)) {}

const std::map<std::string, Variant, std::less<>>& DeviceFacts::properties() {
    if (properties_) return *properties_;
    std::unique_ptr<display::Dispatch> probe;
    try {
        probe = target_.createControl();
    } catch (const std::exception& e) {
        throw RunError(std::string("the Line Display control could not be created: ") + e.what());
    }
    const Variant name[] = {Variant::fromString(model::utf16(device_))};
    Variant opened;
    try {
        opened = probe->invoke(display::dispIdOf("Open"), display::invokeMethod, name);
    } catch (const std::exception& e) {
        throw RunError("cannot open \"" + device_ + "\" to learn about it: " + e.what());
    }
    if (opened == Variant::fromInt32(display::OPOS_E_NOEXIST))
        throw RunError(
            "there is no device \"" + device_ + "\" (Open gives " + codeText(opened) +
            "); ldt-run --list-devices lists the built-in ones, a device configuration file adds others");
    if (opened != Variant::fromInt32(0))
        throw RunError("cannot open \"" + device_ + "\" to learn about it: Open gives " + codeText(opened));
    std::map<std::string, Variant, std::less<>> values;
    for (const auto& op : display::operations) {
        if (op.isMethod) continue;
        try {
            values[std::string(op.name)] = probe->invoke(op.id, display::invokePropertyGet, {});
        } catch (const std::exception&) {
            // A property this control cannot read is simply not known.
        }
    }
    try {
        probe->invoke(display::dispIdOf("Close"), display::invokeMethod, {});
    } catch (const std::exception&) {
        // Released anyway when the probe goes.
    }
    properties_ = std::move(values);
    return *properties_;
}

std::int32_t DeviceFacts::rows() { return size("DeviceRows", "rows"); }

std::int32_t DeviceFacts::columns() { return size("DeviceColumns", "columns"); }

std::int32_t DeviceFacts::size(std::string_view property, std::string_view what) {
    const auto& p = properties();
    const auto it = p.find(property);
    if (it == p.end() || it->second.type() != display::VariantType::Int32) {
        throw RunError("\"" + device_ + "\" does not say how many " + std::string(what) + " it has (" +
                       std::string(property) + ")");
    }
    return it->second.int32();
}

// ---- Session --------------------------------------------------------------

Session::Session(Target& target, DeviceFacts& facts) : target_(target), facts_(facts) {}

Session::~Session() {
    instances_.clear();
    if (unplugged_) {
        try {
            target_.replug(facts_.device());
        } catch (const std::exception&) {
            // Nothing more to do about a display that cannot be put back.
        }
    }
}

display::OPOSLineDisplay& Session::instance(const std::string& name) {
    auto& slot = instances_[name];
    if (!slot) {
        try {
            slot = std::make_unique<display::OPOSLineDisplay>(target_.createControl());
        } catch (const std::exception& e) {
            instances_.erase(name);
            throw RunError(std::string("the Line Display control") + (name.empty() ? "" : " @" + name) +
                           " could not be created: " + e.what());
        }
    }
    return *slot;
}

std::int64_t Session::evaluate(const Number& number) {
    switch (number.base) {
    case Number::Base::literal: return number.offset;
    case Number::Base::rows: return facts_.rows() + number.offset;
    case Number::Base::columns: return facts_.columns() + number.offset;
    }
    return number.offset;
}

Variant Session::evaluate(const Value& value) {
    switch (value.kind) {
    case Value::Kind::integer: {
        const std::int64_t n = evaluate(value.number);
        if (n < INT32_MIN || n > INT32_MAX)
            throw RunError(std::to_string(n) + " is outside the 32-bit range");
        return Variant::fromInt32(static_cast<std::int32_t>(n));
    }
    case Value::Kind::boolean: return Variant::fromRawBool(value.raw);
    case Value::Kind::text: {
        if (!value.times) return Variant::fromString(value.text);
        const std::int64_t times = evaluate(*value.times);
        if (times < 0) throw RunError("a string cannot be repeated " + std::to_string(times) + " times");
        if (value.text.size() * static_cast<std::uint64_t>(times) > longestText)
            throw RunError("a repeated string longer than " + std::to_string(longestText) + " characters");
        std::u16string text;
        for (std::int64_t i = 0; i < times; ++i) text += value.text;
        return Variant::fromString(std::move(text));
    }
    case Value::Kind::device: return Variant::fromString(model::utf16(facts_.device()));
    case Value::Kind::empty: break;
    }
    return Variant();
}

std::string Session::shown(const Value& value) {
    if (value.kind == Value::Kind::integer) return codeText(evaluate(value));
    return display::literal(evaluate(value));
}

ActionResult Session::act(const Statement& s) {
    anyAction_ = true;
    lastFailure_.reset();
    if (const WireLog* wire = target_.wire()) wireMark_ = wire->mark();
    ActionResult r;
    if (s.kind == Statement::Kind::press) {
        if (auto failure = app::runClick(s.control, window_, instance(""))) r.failure = std::move(*failure);
        lastFailure_ = r.failure;
        return r;
    }
    display::Dispatch& control = instance(s.instance).control();
    std::vector<Variant> args;
    for (const Value& v : s.values) args.push_back(evaluate(v));
    try {
        switch (s.kind) {
        case Statement::Kind::call:
            r.value = control.invoke(s.operation->id, display::invokeMethod, args);
            break;
        case Statement::Kind::write:
            control.invoke(s.operation->id, display::invokePropertyPut, args);
            r.value = control.invoke(display::dispIdOf("ResultCode"), display::invokePropertyGet, {});
            break;
        default: r.value = control.invoke(s.operation->id, display::invokePropertyGet, {}); break;
        }
    } catch (const std::exception& e) {
        r.failure = e.what();
        r.value.reset();
    }
    lastFailure_ = r.failure;
    return r;
}

std::optional<std::string> Session::mismatch(
    const Statement& s, const ActionResult& got, const Outcome& expected) {
    if (got.failure) {
        if (!expected.error) return "failed as a call: " + *got.failure;
        if (got.failure->find(expected.errorText) != std::string::npos) return std::nullopt;
        return "failed with \"" + *got.failure + "\", not with the words \"" + expected.errorText + "\"";
    }
    const Variant& value = *got.value;
    const bool isRead = s.kind == Statement::Kind::read;
    if (expected.error)
        return (isRead ? "read " + display::literal(value) : "gave " + codeText(value)) +
               ", expected it to fail with the words \"" + expected.errorText + "\"";
    const Variant want = evaluate(expected.value);
    if (value == want) return std::nullopt;
    if (isRead) return "read " + display::literal(value) + ", expected " + display::literal(want);
    return "gave " + codeText(value) + ", expected " + codeText(want);
}

std::string Session::snapshotRead(const std::string& name, const display::Operation& property) {
    try {
        return display::literal(instance(name).control().invoke(property.id, display::invokePropertyGet, {}));
    } catch (const std::exception& e) {
        return std::string("failed: ") + e.what();
    }
}

void Session::settle() {
    for (auto& [name, control] : instances_) target_.settle(control->control());
}

bool Session::execute(
    const Statement& s, const Statement* next, std::vector<Finding>& out, bool requireSuccess) {
    const auto started = Clock::now();
    Finding f{Finding::Status::pass, lineOf(s.where), s.source, {}, {}};
    const auto report = [&](Finding::Status status, std::string detail) {
        f.status = status;
        f.detail = std::move(detail);
        f.took = Clock::now() - started;
        out.push_back(f);
    };
    try {
        switch (s.kind) {
        case Statement::Kind::call:
        case Statement::Kind::write:
        case Statement::Kind::read:
        case Statement::Kind::press: {
            const ActionResult got = act(s);
            std::optional<Outcome> expected = s.outcome;
            if (!expected && requireSuccess && s.kind != Statement::Kind::read &&
                s.kind != Statement::Kind::press)
                expected = Outcome{};  // 0
            if (!expected) {
                // Only a failure is worth a line here, unless the next statement expects it.
                if (got.failure && !(next != nullptr && next->kind == Statement::Kind::expectError))
                    report(Finding::Status::fail, "failed as a call: " + *got.failure);
                return true;
            }
            const auto why = mismatch(s, got, *expected);
            report(why ? Finding::Status::fail : Finding::Status::pass, why.value_or(""));
            return true;
        }
        case Statement::Kind::type: window_.type(s.control, s.text); return true;
        case Statement::Kind::select: window_.select(s.control); return true;
        case Statement::Kind::expectLabel: {
            const std::u16string shows = window_.label(s.control);
            if (shows == s.text) {
                report(Finding::Status::pass, "");
            } else {
                report(Finding::Status::fail, s.control + " shows " + display::quotedLiteral(shows) +
                                                  ", expected " + display::quotedLiteral(s.text));
            }
            return true;
        }
        case Statement::Kind::expectScreen:
        case Statement::Kind::expectRow:
        case Statement::Kind::expectCursor:
            expectScreen(s, f);
            f.took = Clock::now() - started;
            out.push_back(f);
            return true;
        case Statement::Kind::expectWire:
            expectWire(s, f);
            f.took = Clock::now() - started;
            out.push_back(f);
            return true;
        case Statement::Kind::expectError:
            if (!anyAction_) {
                report(Finding::Status::fail, "no action before it could have failed");
            } else if (!lastFailure_) {
                report(Finding::Status::fail, "the last action did not fail");
            } else if (lastFailure_->find(s.errorText) == std::string::npos) {
                report(Finding::Status::fail, "it failed with \"" + *lastFailure_ + "\"");
            } else {
                report(Finding::Status::pass, "");
            }
            return true;
        case Statement::Kind::unplug:
        case Statement::Kind::replug:
            if (!target_.canUnplug(facts_.device())) {
                report(Finding::Status::skip, "this target cannot take \"" + facts_.device() +
                                                  "\" off its line; the rest of the script is skipped");
                return false;
            }
            if (s.kind == Statement::Kind::unplug) {
                target_.unplug(facts_.device());
            } else {
                target_.replug(facts_.device());
            }
            unplugged_ = s.kind == Statement::Kind::unplug;
            return true;
        }
    } catch (const RunError& e) {
        report(Finding::Status::fail, e.what());
    }
    return true;
}

void Session::expectScreen(const Statement& s, Finding& f) {
    f.status = Finding::Status::fail;
    if (!target_.canSeeScreens()) {
        f.status = Finding::Status::skip;
        f.detail = "this target shows only what the dispatch interface tells, not the screen";
        return;
    }
    const auto it = instances_.find(s.instance);
    const std::optional<Screen> screen =
        it == instances_.end() ? std::nullopt : target_.screen(it->second->control());
    if (!screen) {
        f.detail = "the device is not open: it shows nothing";
        return;
    }
    const auto rowCount = static_cast<std::int64_t>(screen->rows.size());
    const auto matches = [&](std::size_t row, const Value& want, std::string& why) {
        std::u16string text = evaluate(want).string();
        const std::u16string& shows = screen->rows[row];
        if (text.size() < shows.size()) text.append(shows.size() - text.size(), u' ');
        if (text == shows) return true;
        why = "row " + std::to_string(row) + " shows " + display::quotedLiteral(trimmed(shows)) +
              ", expected " + display::quotedLiteral(trimmed(evaluate(want).string()));
        return false;
    };
    switch (s.kind) {
    case Statement::Kind::expectScreen:
        if (static_cast<std::int64_t>(s.values.size()) != rowCount) {
            f.detail = "the display has " + std::to_string(rowCount) + " rows, the expectation " +
                       std::to_string(s.values.size());
            return;
        }
        for (std::size_t row = 0; row < s.values.size(); ++row) {
            if (!matches(row, s.values[row], f.detail)) return;
        }
        break;
    case Statement::Kind::expectRow: {
        const std::int64_t row = evaluate(s.row);
        if (row < 0 || row >= rowCount) {
            f.detail = "row " + std::to_string(row) + " is outside 0.." + std::to_string(rowCount - 1);
            return;
        }
        if (!matches(static_cast<std::size_t>(row), s.values[0], f.detail)) return;
        break;
    }
    default: {
        const std::int64_t row = evaluate(s.row), column = evaluate(s.column);
        if (row != screen->cursorRow || column != screen->cursorColumn) {
            f.detail = "the cursor stands at " + std::to_string(screen->cursorRow) + " " +
                       std::to_string(screen->cursorColumn);
            return;
        }
    }
    }
    f.status = Finding::Status::pass;
}

void Session::expectWire(const Statement& s, Finding& f) {
    const WireLog* wire = target_.wire();
    if (wire == nullptr) {
        f.status = Finding::Status::skip;
        f.detail = "this target cannot see the bytes sent to a display";
        return;
    }
    settle();
    const std::string sent = wire->since(wireMark_);
    if (sent == s.bytes) {
        f.status = Finding::Status::pass;
        return;
    }
    f.status = Finding::Status::fail;
    f.detail = "the last action sent " + bytesText(sent) + ", expected " + bytesText(s.bytes);
}

void runScript(const Script& script, Target& target, DeviceFacts& facts, Reporter& reporter) {
    reporter.beginSuite(script.file);
    Session session(target, facts);
    std::vector<Finding> findings;
    const std::size_t total = script.statements.size();
    for (std::size_t i = 0; i < total; ++i) {
        const Statement& s = script.statements[i];
        reporter.progress(i, total, lineOf(s.where) + " " + s.source);
        findings.clear();
        const bool goOn = session.execute(s, i + 1 < total ? &script.statements[i + 1] : nullptr, findings);
        for (const Finding& f : findings) reporter.report(f);
        if (!goOn) break;
    }
}

}  // namespace run

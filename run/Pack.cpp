#include "run/Pack.h"

#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "display/Literal.h"
#include "model/Utf.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <sstream>

namespace run {
namespace {

using Clock = std::chrono::steady_clock;

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A piece of a line with where it starts in it.
struct Cell {
    std::string_view text;
    std::size_t offset = 0;
};

// Splits at the separator outside string literals; the pieces trimmed.
std::vector<Cell> split(std::string_view line, char separator) {
    std::vector<Cell> cells;
    bool inString = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i < line.size() && inString && line[i] == '\\') {
            ++i;
            continue;
        }
        if (i < line.size() && line[i] == '"') inString = !inString;
        if (i == line.size() || (!inString && line[i] == separator)) {
            std::string_view piece = line.substr(start, i - start);
            std::size_t lead = 0;
            while (lead < piece.size() && (piece[lead] == ' ' || piece[lead] == '\t')) ++lead;
            cells.push_back(Cell{trim(piece), start + lead});
            start = i + 1;
        }
    }
    return cells;
}

// The line without its comment ("#" outside a string literal).
std::string_view withoutComment(std::string_view line) {
    bool inString = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (inString && line[i] == '\\') {
            ++i;
        } else if (line[i] == '"') {
            inString = !inString;
        } else if (!inString && line[i] == '#') {
            return line.substr(0, i);
        }
    }
    return line;
}

const display::Operation* propertyNamed(std::string_view name) {
    for (const auto& op : display::operations) {
        if (!op.isMethod && op.name == name) return &op;
    }
    return nullptr;
}

bool usesUnplug(const std::vector<Statement>& statements) {
    return std::any_of(statements.begin(), statements.end(), [](const Statement& s) {
        return s.kind == Statement::Kind::unplug || s.kind == Statement::Kind::replug;
    });
}

PackCase::Need need(std::string_view text, const Location& at) {
    static constexpr std::string_view ops[] = {">=", "<=", "!=", "!&", "!~", "=", "<", ">", "&", "~"};
    std::size_t nameEnd = 0;
    while (nameEnd < text.size() && std::isalnum(static_cast<unsigned char>(text[nameEnd])) != 0) ++nameEnd;
    PackCase::Need n;
    n.property = std::string(text.substr(0, nameEnd));
    n.source = std::string(text);
    if (propertyNamed(n.property) == nullptr)
        throw ParseError(at, "\"" + n.property + "\" is no property a need can read");
    for (const std::string_view op : ops) {
        if (!text.substr(nameEnd).starts_with(op)) continue;
        n.op = std::string(op);
        n.value = std::string(text.substr(nameEnd + op.size()));
        if (n.value.empty()) break;
        if (op == "~" || op == "!~" || n.value == "true" || n.value == "false") return n;
        try {
            display::textToInt32(model::utf16(n.value));
            return n;
        } catch (const display::DispatchError&) {
            break;
        }
    }
    throw ParseError(
        at, "a need reads Property<op>value with one of = != < <= > >= & !& ~ !~, as CapBlink>0");
}

// Whether the device's value meets a need; `why` says what the device has.
bool meets(const PackCase::Need& n, const display::Variant& v, std::string& has) {
    has = display::literal(v);
    if (n.op == "~" || n.op == "!~") {
        if (v.type() != display::VariantType::String) return false;
        bool listed = false;
        std::stringstream list(model::utf8(v.string()));
        for (std::string item; std::getline(list, item, ',');) listed = listed || trim(item) == n.value;
        return listed == (n.op == "~");
    }
    std::int64_t have = 0, want = 0;
    if (v.type() == display::VariantType::Int32) {
        have = v.int32();
    } else if (v.type() == display::VariantType::Boolean) {
        have = v.rawBool() != 0 ? 1 : 0;
    } else {
        return (n.op == "=") == (display::literal(v) == n.value);
    }
    if (n.value == "true" || n.value == "false") {
        want = n.value == "true" ? 1 : 0;
    } else {
        try {
            want = display::textToInt32(model::utf16(n.value));
        } catch (const display::DispatchError&) {
            return false;
        }
    }
    if (n.op == "=") return have == want;
    if (n.op == "!=") return have != want;
    if (n.op == "<") return have < want;
    if (n.op == "<=") return have <= want;
    if (n.op == ">") return have > want;
    if (n.op == ">=") return have >= want;
    if (n.op == "&") return (have & want) != 0;
    return (have & want) == 0;  // !&
}

// Sends what the device layer says on standard error into a buffer for the
// length of a case, so that a case that fails can show it and the others
// stay quiet.
class CapturedErrors {
public:
    CapturedErrors() : old_(std::cerr.rdbuf(buffer_.rdbuf())) {}
    ~CapturedErrors() { std::cerr.rdbuf(old_); }
    CapturedErrors(const CapturedErrors&) = delete;
    CapturedErrors& operator=(const CapturedErrors&) = delete;
    std::string firstLine() const {
        const std::string text = buffer_.str();
        return text.substr(0, text.find('\n'));
    }

private:
    std::ostringstream buffer_;
    std::streambuf* old_;
};

}  // namespace

Pack parsePack(const std::vector<PackFile>& files) {
    Pack pack;
    std::set<std::string, std::less<>> ids;
    struct Use {
        Location where;
        std::string name;
    };
    std::vector<Use> stateUses, ruleUses;
    for (const PackFile& file : files) {
        int lineNumber = 0;
        std::string_view text = file.text;
        for (std::size_t pos = 0; pos < text.size();) {
            const std::size_t end = std::min(text.find('\n', pos), text.size());
            const std::string_view line = text.substr(pos, end - pos);
            pos = end + 1;
            ++lineNumber;
            const std::string_view content = trim(withoutComment(line));
            if (content.empty()) continue;
            const Location lineStart{file.name, lineNumber, 1};
            const auto at = [&](std::size_t offset) { return locationIn(line, offset, lineStart); };
            const std::size_t contentAt = static_cast<std::size_t>(content.data() - line.data());

            if (content.starts_with("rule ") || content.starts_with("state ")) {
                const bool isRule = content.starts_with("rule ");
                const std::size_t equals = content.find('=');
                if (equals == std::string_view::npos)
                    throw ParseError(at(contentAt),
                        std::string(isRule ? "a rule" : "a state") +
                            " reads: " + (isRule ? "rule <name> = <text>" : "state <name> = <statements>"));
                const std::string name(trim(content.substr(isRule ? 5 : 6, equals - (isRule ? 5 : 6))));
                const std::string_view body = content.substr(equals + 1);
                const std::size_t bodyAt = contentAt + equals + 1;
                if (isRule) {
                    if (!pack.rules.emplace(name, std::string(trim(body))).second)
                        throw ParseError(at(contentAt), "rule " + name + " is defined twice");
                } else {
                    auto statements = parseStatements(body, at(bodyAt));
                    if (!pack.states.emplace(name, std::move(statements)).second)
                        throw ParseError(at(contentAt), "state " + name + " is defined twice");
                }
                continue;
            }
            const std::vector<Cell> cells = split(content, '|');
            if (cells.size() != 8)
                throw ParseError(at(contentAt),
                    "a case row has 8 cells (id | state | given | action | result | "
                    "changes | needs | rule), this one " +
                        std::to_string(cells.size()));
            const auto cellAt = [&](std::size_t i) { return at(contentAt + cells[i].offset); };
            PackCase c;
            c.id = std::string(cells[0].text);
            c.where = lineStart;
            if (c.id.empty()) throw ParseError(cellAt(0), "a case needs an id");
            if (!ids.insert(c.id).second) throw ParseError(cellAt(0), "case " + c.id + " is there twice");
            c.state = std::string(cells[1].text);
            stateUses.push_back({cellAt(1), c.state});
            c.given = parseStatements(cells[2].text, cellAt(2));
            std::vector<Statement> action = parseStatements(cells[3].text, cellAt(3));
            if (action.size() != 1 || action[0].kind > Statement::Kind::read || action[0].outcome)
                throw ParseError(
                    cellAt(3), "the action is one call, property write or property read, without \"->\"");
            c.action = std::move(action[0]);
            if (cells[4].text.empty())
                throw ParseError(cellAt(4), "a case needs the result it expects (* for any)");
            if (cells[4].text != "*") c.results = parseAlternatives(cells[4].text, cellAt(4));
            const display::VariantType resultType = c.action.kind == Statement::Kind::read
                                                        ? c.action.operation->valueType
                                                        : display::VariantType::Int32;
            for (const Value& v : c.results) {
                if (!valueFits(v, resultType))
                    throw ParseError(cellAt(4),
                        "this action's result is of another type than " + std::string(cells[4].text));
            }
            for (Assignment& a : parseAssignments(cells[5].text, cellAt(5))) {
                if (a.name == "*") {
                    c.othersMayChange = true;
                    continue;
                }
                const display::Operation* p = propertyNamed(a.name);
                if (p == nullptr) throw ParseError(a.where, "\"" + a.name + "\" is no property");
                if (a.value && !valueFits(*a.value, p->valueType))
                    throw ParseError(a.where, a.name + " cannot take the value given here");
                c.changes.push_back(std::move(a));
            }
            for (const Cell& word : split(cells[6].text, ' ')) {
                if (!word.text.empty())
                    c.needs.push_back(need(word.text, at(contentAt + cells[6].offset + word.offset)));
            }
            c.rule = std::string(cells[7].text);
            ruleUses.push_back({cellAt(7), c.rule});
            pack.cases.push_back(std::move(c));
        }
    }
    for (const Use& use : stateUses) {
        if (pack.states.find(use.name) == pack.states.end())
            throw ParseError(use.where, "no state named \"" + use.name + "\"");
    }
    for (const Use& use : ruleUses) {
        if (pack.rules.find(use.name) == pack.rules.end())
            throw ParseError(use.where, "no rule named \"" + use.name + "\"");
    }
    return pack;
}

void runPack(
    const Pack& pack, Target& target, DeviceFacts& facts, Reporter& reporter, std::string_view only) {
    const auto& properties = facts.properties();  // the device must open, or nothing can be judged
    reporter.beginSuite("conformance " + facts.device());
    std::vector<const display::Operation*> watched;
    for (const auto& op : display::operations) {
        if (!op.isMethod && op.name != "ResultCode") watched.push_back(&op);
    }
    const auto resultCode = display::dispIdOf("ResultCode");

    std::size_t done = 0;
    for (const PackCase& c : pack.cases) {
        if (!only.empty() && c.id.find(only) == std::string::npos) continue;
        reporter.progress(done++, pack.cases.size(), facts.device() + " " + c.id);
        const auto started = Clock::now();
        Finding f{Finding::Status::skip, lineOf(c.where), c.id + ": " + c.action.source, {}, {}};
        const auto finish = [&](Finding::Status status, std::string detail) {
            f.status = status;
            f.detail = std::move(detail);
            f.took = Clock::now() - started;
            reporter.report(f);
        };

        std::string unmet;
        for (const PackCase::Need& n : c.needs) {
            const auto it = properties.find(n.property);
            std::string has = "nothing";
            if (it == properties.end() || !meets(n, it->second, has)) {
                unmet =
                    "needs " + n.source + " (\"" + facts.device() + "\" has " + n.property + " " + has + ")";
                break;
            }
        }
        const auto& state = pack.states.find(c.state)->second;
        if (unmet.empty() && (usesUnplug(state) || usesUnplug(c.given)) && !target.canUnplug(facts.device()))
            unmet = "needs the display taken off its line, which cannot be done to \"" + facts.device() +
                    "\" here";
        if (!unmet.empty()) {
            finish(Finding::Status::skip, unmet);
            continue;
        }

        CapturedErrors deviceSaid;
        std::vector<std::string> divergences;
        try {
            Session session(target, facts);
            std::vector<Finding> setUp;
            const auto prepare = [&](const std::vector<Statement>& statements, const std::string& what) {
                for (const Statement& s : statements) {
                    setUp.clear();
                    session.execute(s, nullptr, setUp, true);
                    for (const Finding& failed : setUp) {
                        if (failed.status != Finding::Status::pass)
                            divergences.push_back(what + " " + failed.what + ": " + failed.detail);
                    }
                    if (!divergences.empty()) return false;
                }
                return true;
            };
            if (prepare(state, "state " + c.state + ":") && prepare(c.given, "given:")) {
                std::vector<std::string> before;
                before.reserve(watched.size());
                for (const auto* op : watched) before.push_back(session.snapshotRead("", *op));
                const std::string codeBefore = session.snapshotRead("", *display::findOperation(resultCode));

                const ActionResult got = session.act(c.action);
                // No results listed ("*"): any value, as long as the call is made.
                std::optional<std::string> why =
                    got.failure ? std::optional("failed as a call: " + *got.failure) : std::nullopt;
                for (const Value& result : c.results) {
                    why = session.mismatch(c.action, got, Outcome{false, result, {}});
                    if (!why) break;
                }
                if (why && c.results.size() > 1) {
                    std::string all;
                    for (const Value& result : c.results)
                        all += (all.empty() ? "" : " or ") + session.shown(result);
                    why = why->substr(0, why->find(", expected")) + ", expected " + all;
                }
                if (why) divergences.push_back(*why);

                // ResultCode: a method's or a write's result, untouched by a read.
                const std::string codeAfter = session.snapshotRead("", *display::findOperation(resultCode));
                std::string codeWanted = codeBefore;
                if (!got.failure && c.action.kind != Statement::Kind::read)
                    codeWanted = display::literal(*got.value);
                if (codeAfter != codeWanted)
                    divergences.push_back(std::string("ResultCode reads ")
                                              .append(codeAfter)
                                              .append(" afterwards, not ")
                                              .append(codeWanted));

                for (std::size_t i = 0; i < watched.size(); ++i) {
                    const std::string after = session.snapshotRead("", *watched[i]);
                    const auto listed = std::find_if(c.changes.begin(), c.changes.end(),
                        [&](const Assignment& a) { return a.name == watched[i]->name; });
                    if (listed != c.changes.end()) {
                        if (!listed->value) continue;
                        const std::string wanted = display::literal(session.evaluate(*listed->value));
                        if (after != wanted)
                            divergences.push_back(std::string(watched[i]->name)
                                                      .append(" reads ")
                                                      .append(after)
                                                      .append(", not ")
                                                      .append(wanted));
                    } else if (!c.othersMayChange && after != before[i]) {
                        divergences.push_back(std::string(watched[i]->name)
                                                  .append(" changed from ")
                                                  .append(before[i])
                                                  .append(" to ")
                                                  .append(after));
                    }
                }
            }
        } catch (const RunError& e) {
            divergences.emplace_back(e.what());
        }
        if (divergences.empty()) {
            finish(Finding::Status::pass, "");
            continue;
        }
        std::string detail;
        for (const std::string& d : divergences) detail += (detail.empty() ? "" : "; ") + d;
        const auto rule = pack.rules.find(c.rule);
        detail += " -- breaks rule " + c.rule + ": " + rule->second;
        if (const std::string said = deviceSaid.firstLine(); !said.empty())
            detail += " (the device said: " + said + ")";
        finish(Finding::Status::fail, detail);
    }
}

}  // namespace run

#include "run/Script.h"

#include "app/ControlTable.h"
#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "display/ResultCodes.h"
#include "model/Utf.h"

#include <algorithm>
#include <cctype>

namespace run {
namespace {

struct Token {
    enum class Kind : std::uint8_t {
        word,
        number,
        string,
        arrow,
        equals,
        star,
        at,
        open,
        close,
        separator,
        end
    };
    Kind kind = Kind::end;
    std::string text;      // as written (a string's without its quotes and escapes undone: see value)
    std::u16string value;  // a string's text
    Location where;
    std::size_t begin = 0;  // byte offsets into the source
    std::size_t end = 0;
    bool joined = false;  // directly after the previous token, no blank between
};

bool isWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Splits source text into tokens, keeping line and column (in characters)
// of each; a comment runs to the end of its line.
class Lexer {
public:
    Lexer(std::string_view text, Location start) : text_(text), at_(std::move(start)) {}

    std::vector<Token> tokens() {
        std::vector<Token> out;
        bool blank = true;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r') {
                advance(1);
                blank = true;
                continue;
            }
            if (c == '#') {
                while (pos_ < text_.size() && text_[pos_] != '\n') advance(1);
                continue;
            }
            Token t;
            t.where = at_;
            t.begin = pos_;
            t.joined = !blank && !out.empty();
            blank = false;
            if (c == '\n' || c == ';') {
                t.kind = Token::Kind::separator;
                advance(1);
                if (c == '\n') newLine();
                blank = true;
            } else if (c == '"') {
                readString(t);
            } else if (c == '-' && peek(1) == '>') {
                t.kind = Token::Kind::arrow;
                advance(2);
            } else if (c == '=') {
                t.kind = Token::Kind::equals;
                advance(1);
            } else if (c == '*') {
                t.kind = Token::Kind::star;
                advance(1);
            } else if (c == '(') {
                t.kind = Token::Kind::open;
                advance(1);
            } else if (c == ')') {
                t.kind = Token::Kind::close;
                advance(1);
            } else if (c == '@') {
                t.kind = Token::Kind::at;
                advance(1);
                if (pos_ >= text_.size() || !isWordStart(text_[pos_]))
                    throw ParseError(t.where, "\"@\" must be followed by an instance name, as in @holder");
                while (pos_ < text_.size() && isWordChar(text_[pos_])) advance(1);
            } else if (isWordStart(c)) {
                t.kind = Token::Kind::word;
                while (pos_ < text_.size() && isWordChar(text_[pos_])) advance(1);
            } else if (isDigit(c) || c == '&' || c == '.' || ((c == '+' || c == '-') && startsNumber(1))) {
                t.kind = Token::Kind::number;
                advance(1);
                while (pos_ < text_.size() && (isWordChar(text_[pos_]) || text_[pos_] == '.')) advance(1);
            } else {
                throw ParseError(t.where, "unexpected character " + quotedByte(c));
            }
            t.end = pos_;
            if (t.kind != Token::Kind::string) t.text = std::string(text_.substr(t.begin, t.end - t.begin));
            if (t.kind == Token::Kind::at) t.text.erase(0, 1);
            out.push_back(std::move(t));
        }
        Token end;
        end.kind = Token::Kind::end;
        end.where = at_;
        end.begin = end.end = pos_;
        out.push_back(std::move(end));
        return out;
    }

private:
    char peek(std::size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
    bool startsNumber(std::size_t ahead) const { return isDigit(peek(ahead)) || peek(ahead) == '.'; }
    // Moves on by bytes; columns count characters, not UTF-8 continuation bytes.
    void advance(std::size_t bytes) {
        for (std::size_t i = 0; i < bytes && pos_ < text_.size(); ++i, ++pos_) {
            if ((static_cast<unsigned char>(text_[pos_]) & 0xC0) != 0x80) ++at_.column;
        }
    }
    void newLine() {
        ++at_.line;
        at_.column = 1;
    }
    static std::string quotedByte(char c) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) return std::string("'") + c + "'";
        static constexpr char digits[] = "0123456789ABCDEF";
        return std::string("0x") + digits[b >> 4] + digits[b & 15];
    }

    void readString(Token& t) {
        t.kind = Token::Kind::string;
        advance(1);
        std::string utf8;
        for (;;) {
            if (pos_ >= text_.size() || text_[pos_] == '\n')
                throw ParseError(t.where, "this string has no closing quote on its line");
            const char c = text_[pos_];
            if (c == '"') {
                advance(1);
                break;
            }
            if (c != '\\') {
                utf8 += c;
                advance(1);
                continue;
            }
            const Location escapeAt = at_;
            const char e = peek(1);
            advance(2);
            switch (e) {
            case '"': utf8 += '"'; break;
            case '\\': utf8 += '\\'; break;
            case 'n': utf8 += '\n'; break;
            case 'r': utf8 += '\r'; break;
            case 't': utf8 += '\t'; break;
            case 'x': {
                const int hi = hexDigit(peek(0)), lo = hexDigit(peek(1));
                if (hi < 0 || lo < 0)
                    throw ParseError(escapeAt, "\\x needs two hexadecimal digits, as in \\x1B");
                advance(2);
                flush(utf8, t.value);
                t.value += static_cast<char16_t>(hi * 16 + lo);
                break;
            }
            case 'u': {
                if (peek(0) != '{')
                    throw ParseError(escapeAt, "\\u needs a code point in braces, as in \\u{20AC}");
                advance(1);
                std::uint32_t cp = 0;
                int digits = 0;
                while (hexDigit(peek(0)) >= 0 && digits < 7) {
                    cp = cp * 16 + static_cast<std::uint32_t>(hexDigit(peek(0)));
                    advance(1);
                    ++digits;
                }
                if (peek(0) != '}' || digits == 0 || digits > 6 || cp > 0x10FFFF)
                    throw ParseError(escapeAt, "\\u{...} needs 1 to 6 hexadecimal digits up to 10FFFF");
                advance(1);
                flush(utf8, t.value);
                // A surrogate stays a lone UTF-16 unit, as a control may be sent one.
                if (cp >= 0xD800 && cp <= 0xDFFF)
                    t.value += static_cast<char16_t>(cp);
                else
                    model::appendUtf16(t.value, cp);
                break;
            }
            default:
                throw ParseError(
                    escapeAt, std::string("unknown escape \\") +
                                  (e == '\n' ? std::string("<end of line>") : std::string(1, e)) +
                                  " (known: \\\" \\\\ \\n \\r \\t \\xHH \\u{H...})");
            }
        }
        flush(utf8, t.value);
    }
    static void flush(std::string& utf8, std::u16string& out) {
        out += model::utf16(utf8);
        utf8.clear();
    }

    std::string_view text_;
    Location at_;
    std::size_t pos_ = 0;
};

// The first byte of `text` that is not valid UTF-8, or npos.
std::size_t invalidUtf8At(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > text.size()) return i;
        std::uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
        for (std::size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c >> 6) != 0x2) return i;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        const std::uint32_t shortest = len == 1 ? 0 : len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
        i += len;
    }
    return std::string_view::npos;
}

const char* typeWord(display::VariantType type) {
    switch (type) {
    case display::VariantType::Int32: return "a whole number";
    case display::VariantType::Boolean: return "true or false";
    case display::VariantType::String: return "a string";
    case display::VariantType::Empty: break;
    }
    return "nothing";
}

std::string captionList(const std::vector<const app::Control*>& rows) {
    std::string list;
    for (const app::Control* c : rows) {
        if (!list.empty()) list += ", ";
        list += std::string(c->name) + " (in " + std::string(c->container) + ")";
    }
    return list;
}

// The parser of one statement at a time over the token list.
class Parser {
public:
    Parser(std::string_view source, std::vector<Token> tokens)
        : source_(source), tokens_(std::move(tokens)) {}

    std::vector<Assignment> assignments() {
        std::vector<Assignment> out;
        while (peek().kind != Token::Kind::end) {
            if (peek().kind == Token::Kind::star) {  // a lone "*": any other property may change too
                out.push_back(Assignment{next().where, "*", std::nullopt});
                continue;
            }
            const Token& name = expect(Token::Kind::word, "a property's name");
            expect(Token::Kind::equals, "\"=\" after " + name.text);
            Assignment a{name.where, name.text, std::nullopt};
            if (peek().kind == Token::Kind::star) {
                next();
            } else {
                a.value = value();
            }
            out.push_back(std::move(a));
        }
        return out;
    }

    std::vector<Value> alternatives() {
        std::vector<Value> out;
        for (;;) {
            out.push_back(value());
            if (peek().kind == Token::Kind::end) return out;
            if (!isWord(peek(), "or"))
                fail(peek(), "expected \"or\" between two results, found " + shown(peek()));
            next();
        }
    }

    std::vector<Statement> statements() {
        std::vector<Statement> out;
        while (peek().kind != Token::Kind::end) {
            if (peek().kind == Token::Kind::separator) {
                next();
                continue;
            }
            const Token& first = peek();
            Statement s = statement();
            s.where = first.where;
            s.source = std::string(source_.substr(first.begin, tokens_[index_ - 1].end - first.begin));
            if (peek().kind != Token::Kind::separator && peek().kind != Token::Kind::end)
                fail(peek(), "unexpected " + shown(peek()) + " after a complete statement");
            out.push_back(std::move(s));
        }
        return out;
    }

private:
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(index_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }
    bool atEnd() const { return peek().kind == Token::Kind::separator || peek().kind == Token::Kind::end; }
    bool isWord(const Token& t, std::string_view word) const {
        return t.kind == Token::Kind::word && t.text == word;
    }
    [[noreturn]] static void fail(const Token& t, const std::string& message) {
        throw ParseError(t.where, message);
    }
    static std::string shown(const Token& t) {
        switch (t.kind) {
        case Token::Kind::separator: return "end of statement";
        case Token::Kind::end: return "end of script";
        case Token::Kind::string: return "string \"" + model::utf8(t.value) + "\"";
        default: return "\"" + t.text + "\"";
        }
    }
    const Token& expect(Token::Kind kind, const std::string& what) {
        if (peek().kind != kind) fail(peek(), "expected " + what + ", found " + shown(peek()));
        return next();
    }

    Statement statement() {
        Statement s;
        if (peek().kind == Token::Kind::at) {
            s.instance = next().text;
            if (!isWord(peek(), "expect")) return operationStatement(std::move(s));
        }
        const Token& first = peek();
        if (first.kind != Token::Kind::word)
            fail(first, "a statement starts with a name, found " + shown(first));
        if (isWord(first, "expect")) {
            next();
            return expectation(std::move(s));
        }
        if (isWord(first, "type")) return typeStatement(std::move(s));
        if (isWord(first, "select")) return selectStatement(std::move(s));
        if (isWord(first, "press")) return pressStatement(std::move(s));
        if (isWord(first, "unplug") || isWord(first, "replug")) {
            s.kind = first.text == "unplug" ? Statement::Kind::unplug : Statement::Kind::replug;
            next();
            return s;
        }
        return operationStatement(std::move(s));
    }

    const display::Operation& operation(const Token& t) {
        for (const auto& op : display::operations) {
            if (op.name == t.text) return op;
        }
        std::string hint;
        for (const auto& op : display::operations) {
            if (std::equal(op.name.begin(), op.name.end(), t.text.begin(), t.text.end(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
                hint = " (did you mean " + std::string(op.name) + "?)";
        }
        fail(t, "\"" + t.text + "\" is no Line Display operation and no statement" + hint);
    }

    Statement operationStatement(Statement s) {
        const Token& name = peek();
        if (name.kind != Token::Kind::word)
            fail(name, "expected a Line Display operation, found " + shown(name));
        next();
        const display::Operation& op = operation(name);
        s.operation = &op;
        if (op.isMethod) {
            s.kind = Statement::Kind::call;
            const auto params = op.parameters();
            for (std::size_t i = 0; i < params.size(); ++i) {
                if (atEnd() || peek().kind == Token::Kind::arrow)
                    fail(peek(), std::string(op.name) + " takes " + std::to_string(params.size()) +
                                     " arguments, found " + std::to_string(i));
                const Token& at = peek();
                Value v = value();
                if (!valueFits(v, params[i]))
                    fail(at, "argument " + std::to_string(i + 1) + " of " + std::string(op.name) + " is " +
                                 typeWord(params[i]));
                s.values.push_back(std::move(v));
            }
            if (!atEnd() && peek().kind != Token::Kind::arrow)
                fail(peek(), std::string(op.name) + " takes " + std::to_string(params.size()) + " arguments");
            s.outcome = outcome(display::VariantType::Int32);
            return s;
        }
        if (peek().kind == Token::Kind::equals) {
            next();
            if (!op.writable) fail(name, std::string(op.name) + " is read-only");
            s.kind = Statement::Kind::write;
            const Token& at = peek();
            Value v = value();
            if (!valueFits(v, op.valueType))
                fail(at, std::string(op.name) + " takes " + typeWord(op.valueType));
            s.values.push_back(std::move(v));
            s.outcome = outcome(display::VariantType::Int32);
            return s;
        }
        s.kind = Statement::Kind::read;
        s.outcome = outcome(op.valueType);
        return s;
    }

    // "-> value" or "-> error "text"" after an action, if there is one.
    std::optional<Outcome> outcome(display::VariantType type) {
        if (peek().kind != Token::Kind::arrow) return std::nullopt;
        next();
        Outcome o;
        if (isWord(peek(), "error")) {
            next();
            o.error = true;
            o.errorText =
                model::utf8(expect(Token::Kind::string, "the words of the failure in quotes").value);
            return o;
        }
        const Token& at = peek();
        o.value = value();
        if (!valueFits(o.value, type)) fail(at, std::string("the outcome here is ") + typeWord(type));
        return o;
    }

    Number count(const Token& t) {
        Number n;
        if (t.kind == Token::Kind::number) {
            n.offset = integer(t);
            return n;
        }
        if (isWord(t, "ROWS") || isWord(t, "COLUMNS")) {
            n.base = t.text == "ROWS" ? Number::Base::rows : Number::Base::columns;
            if (peek().kind == Token::Kind::number && peek().joined &&
                (peek().text.front() == '+' || peek().text.front() == '-'))
                n.offset = integer(next());
            return n;
        }
        if (t.kind == Token::Kind::word) {
            if (const auto code = resultNamed(t.text)) {
                n.offset = *code;
                return n;
            }
        }
        fail(t, "expected a whole number, found " + shown(t));
    }

    static std::int32_t integer(const Token& t) {
        try {
            return display::textToInt32(model::utf16(t.text));
        } catch (const display::DispatchError& e) {
            fail(t, e.what());
        }
    }

    Value value() {
        const Token& t = next();
        Value v;
        switch (t.kind) {
        case Token::Kind::number: v.number = count(t); return v;
        case Token::Kind::string:
            v.kind = Value::Kind::text;
            v.text = t.value;
            if (peek().kind == Token::Kind::star) {
                next();
                const Token& n = next();
                v.times = count(n);
                if (v.times->base == Number::Base::literal && v.times->offset < 0)
                    fail(n, "a string cannot be repeated fewer than 0 times");
            }
            return v;
        case Token::Kind::word:
            if (t.text == "true" || t.text == "false") {
                v.kind = Value::Kind::boolean;
                v.raw = t.text == "true" ? -1 : 0;
                return v;
            }
            if (t.text == "bool") {
                expect(Token::Kind::open, "\"(\" after bool");
                const Token& n = expect(Token::Kind::number, "the raw value of the boolean");
                const std::int32_t raw = integer(n);
                if (raw < -32768 || raw > 32767) fail(n, "a boolean's raw value is 16 bits");
                expect(Token::Kind::close, "\")\"");
                v.kind = Value::Kind::boolean;
                v.raw = static_cast<std::int16_t>(raw);
                return v;
            }
            if (t.text == "empty") {
                v.kind = Value::Kind::empty;
                return v;
            }
            if (t.text == "DEVICE") {
                v.kind = Value::Kind::device;
                return v;
            }
            v.number = count(t);
            return v;
        default: break;
        }
        fail(t, "expected a value, found " + shown(t));
    }

    // Text typed or expected in a control: a string, or a number as written.
    std::u16string controlText() {
        const Token& t = next();
        if (t.kind == Token::Kind::string) return t.value;
        if (t.kind == Token::Kind::number) return model::utf16(t.text);
        fail(t, "expected the text in quotes, found " + shown(t));
    }

    const app::Control& controlNamed(const Token& t, app::Kind kind, std::string_view what) {
        const app::Control* c = app::findControl(t.text);
        if (c == nullptr || c->kind != kind)
            fail(t, "the console has no " + std::string(what) + " named " + t.text);
        return *c;
    }

    // A control by its caption, among those of one kind (and inside one
    // container when `inside` is not empty).
    const app::Control& controlCaptioned(const Token& t, app::Kind kind, std::string_view what,
        std::string_view inside, const std::string& howToChoose) {
        const std::string caption = model::utf8(t.value);
        std::vector<const app::Control*> found;
        for (const app::Control& c : app::controls) {
            if (c.kind == kind && c.caption == caption && (inside.empty() || c.container == inside))
                found.push_back(&c);
        }
        if (found.empty())
            fail(t, "the console has no " + std::string(what) + " \"" + caption + "\"" +
                        (inside.empty() ? std::string() : " in " + std::string(inside)));
        if (found.size() > 1)
            fail(t, "\"" + caption + "\" names " + std::to_string(found.size()) + " " + std::string(what) +
                        "s: " + captionList(found) + "; " + howToChoose);
        return *found.front();
    }

    Statement typeStatement(Statement s) {
        next();
        s.kind = Statement::Kind::type;
        const Token& box = expect(Token::Kind::word, "a text box's name, as in Text4");
        s.control = std::string(controlNamed(box, app::Kind::TextBox, "text box").name);
        s.text = controlText();
        return s;
    }

    Statement selectStatement(Statement s) {
        next();
        s.kind = Statement::Kind::select;
        const Token& t = next();
        if (t.kind == Token::Kind::word) {
            s.control = std::string(controlNamed(t, app::Kind::OptionButton, "option button").name);
            return s;
        }
        if (t.kind != Token::Kind::string)
            fail(t, "expected an option button's caption or name, found " + shown(t));
        std::string_view container;
        if (isWord(peek(), "for")) {
            next();
            const Token& button = expect(Token::Kind::string, "the caption of the button the option is for");
            container =
                controlCaptioned(button, app::Kind::CommandButton, "command button", {}, "").container;
        }
        s.control = std::string(controlCaptioned(t, app::Kind::OptionButton, "option button", container,
            "say which with for \"<button caption>\", as in select \"Blink\" for \"Disp Text\"")
                                    .name);
        return s;
    }

    Statement pressStatement(Statement s) {
        next();
        s.kind = Statement::Kind::press;
        const Token& t = next();
        if (t.kind == Token::Kind::word) {
            s.control = std::string(controlNamed(t, app::Kind::CommandButton, "command button").name);
        } else if (t.kind == Token::Kind::string) {
            std::string_view container;
            if (isWord(peek(), "in")) {
                next();
                const Token& frame = next();
                if (frame.kind == Token::Kind::word) {
                    container = controlNamed(frame, app::Kind::Frame, "frame").name;
                } else if (frame.kind == Token::Kind::string) {
                    container = controlCaptioned(frame, app::Kind::Frame, "frame", {},
                        "name the frame instead, as in press \"Disp Text\" in Frame2")
                                    .name;
                } else {
                    fail(frame, "expected a frame's caption or name after in, found " + shown(frame));
                }
            }
            s.control = std::string(controlCaptioned(t, app::Kind::CommandButton, "command button", container,
                "say which with in \"<frame caption>\", as in press \"Cursor Row\" in \"Set Properties\"")
                                        .name);
        } else {
            fail(t, "expected a button's caption or name, found " + shown(t));
        }
        if (peek().kind == Token::Kind::arrow) {
            next();
            if (!isWord(peek(), "error"))
                fail(peek(), "a press can only be expected to fail: -> error \"...\"");
            next();
            Outcome o;
            o.error = true;
            o.errorText =
                model::utf8(expect(Token::Kind::string, "the words of the failure in quotes").value);
            s.outcome = std::move(o);
        }
        return s;
    }

    Statement expectation(Statement s) {
        const Token& what = peek();
        if (what.kind == Token::Kind::at) {
            s.instance = next().text;
            return expectProperty(std::move(s));
        }
        if (what.kind != Token::Kind::word) fail(what, "expected what to expect, found " + shown(what));
        if (what.text == "screen") {
            next();
            s.kind = Statement::Kind::expectScreen;
            while (!atEnd()) {
                const Token& at = peek();
                Value v = value();
                if (v.kind != Value::Kind::text) fail(at, "each row of the screen is a string");
                s.values.push_back(std::move(v));
            }
            if (s.values.empty()) fail(peek(), "expect screen needs the rows, one string each");
            return s;
        }
        if (what.text == "row") {
            next();
            s.kind = Statement::Kind::expectRow;
            s.row = count(next());
            const Token& at = peek();
            Value v = value();
            if (v.kind != Value::Kind::text) fail(at, "the row's text is a string");
            s.values.push_back(std::move(v));
            return s;
        }
        if (what.text == "cursor") {
            next();
            s.kind = Statement::Kind::expectCursor;
            s.row = count(next());
            s.column = count(next());
            return s;
        }
        if (what.text == "wire") {
            next();
            s.kind = Statement::Kind::expectWire;
            while (!atEnd()) s.bytes += wireBytes(next());
            return s;
        }
        if (what.text == "error") {
            next();
            s.kind = Statement::Kind::expectError;
            s.errorText =
                model::utf8(expect(Token::Kind::string, "the words of the failure in quotes").value);
            return s;
        }
        if (const app::Control* c = app::findControl(what.text); c && c->kind == app::Kind::Label) {
            next();
            s.kind = Statement::Kind::expectLabel;
            s.control = std::string(c->name);
            s.text = controlText();
            return s;
        }
        return expectProperty(std::move(s));
    }

    Statement expectProperty(Statement s) {
        const Token& name = expect(Token::Kind::word, "a property's name");
        const display::Operation& op = operation(name);
        if (op.isMethod)
            fail(name,
                std::string(op.name) + " is a method: write " + std::string(op.name) + " ... -> <result>");
        s.kind = Statement::Kind::read;
        s.operation = &op;
        const Token& at = peek();
        Outcome o;
        o.value = value();
        if (!valueFits(o.value, op.valueType))
            fail(at, std::string(op.name) + " reads as " + typeWord(op.valueType));
        s.outcome = std::move(o);
        return s;
    }

    static std::string wireBytes(const Token& t) {
        if (t.kind == Token::Kind::string) {
            std::string bytes;
            for (const char16_t c : t.value) {
                if (c >= 0x80) fail(t, "write bytes above 7F in hex, not inside a string");
                bytes += static_cast<char>(c);
            }
            return bytes;
        }
        if ((t.kind == Token::Kind::number || t.kind == Token::Kind::word) && !t.text.empty() &&
            t.text.size() <= 2) {
            const int hi = t.text.size() == 2 ? hexDigit(t.text[0]) : 0;
            const int lo = hexDigit(t.text.back());
            if (hi >= 0 && lo >= 0) return std::string(1, static_cast<char>(hi * 16 + lo));
        }
        fail(t, "expected a byte in hex (00 to FF) or ASCII text in quotes, found " + shown(t));
    }

    std::string_view source_;
    std::vector<Token> tokens_;
    std::size_t index_ = 0;
};

}  // namespace

std::string describe(const Location& where) {
    return where.file + ":" + std::to_string(where.line) + ":" + std::to_string(where.column);
}

ParseError::ParseError(Location where, const std::string& message)
    : std::runtime_error(describe(where) + ": " + message), where_(std::move(where)), message_(message) {}

std::vector<Statement> parseStatements(std::string_view text, const Location& start) {
    if (const auto bad = invalidUtf8At(text); bad != std::string_view::npos)
        throw ParseError(locationIn(text, bad, start), "this is not UTF-8 text");
    return Parser(text, Lexer(text, start).tokens()).statements();
}

Location locationIn(std::string_view text, std::size_t offset, const Location& start) {
    Location at = start;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++at.line;
            at.column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++at.column;
        }
    }
    return at;
}

bool valueFits(const Value& v, display::VariantType type) {
    switch (type) {
    case display::VariantType::Int32: return v.kind == Value::Kind::integer;
    case display::VariantType::Boolean: return v.kind == Value::Kind::boolean;
    case display::VariantType::String: return v.kind == Value::Kind::text || v.kind == Value::Kind::device;
    case display::VariantType::Empty: return v.kind == Value::Kind::empty;
    }
    return false;
}

std::vector<Assignment> parseAssignments(std::string_view text, const Location& start) {
    return Parser(text, Lexer(text, start).tokens()).assignments();
}

std::vector<Value> parseAlternatives(std::string_view text, const Location& start) {
    return Parser(text, Lexer(text, start).tokens()).alternatives();
}

Script parseScript(std::string_view text, const std::string& file) {
    // A byte-order mark some editors write is not part of the first statement.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return Script{file, parseStatements(text, Location{file, 1, 1})};
}

std::optional<std::int32_t> resultNamed(std::string_view name) {
    for (const auto& entry : display::resultCodeNames) {
        if (entry.name == name) return entry.code;
    }
    return std::nullopt;
}

}  // namespace run

#include "model/Utf.h"

namespace model {

std::u16string utf16(std::string_view in) {
    std::u16string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b >> 5) == 0x6) {
            len = 2, cp = b & 0x1F;
        } else if ((b >> 4) == 0xE) {
            len = 3, cp = b & 0x0F;
        } else if ((b >> 3) == 0x1E) {
            len = 4, cp = b & 0x07;
        } else {
            len = 0;  // a stray continuation or invalid lead byte
        }
        if (len > 1) {
            bool ok = i + len <= in.size();
            for (std::size_t k = 1; ok && k < len; ++k) {
                const auto c = static_cast<unsigned char>(in[i + k]);
                ok = (c >> 6) == 0x2;
                cp = (cp << 6) | (c & 0x3F);
            }
            // An overlong form (a code point in more bytes than it needs) is
            // invalid: accepting it would let "\xC0\xAF" pass for "/".
            const char32_t shortest = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
            if (!ok || cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD, len = 1;
        }
        if (len == 0) cp = 0xFFFD, len = 1;
        appendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string utf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (char32_t cp : codePoints(in)) {
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // an unpaired surrogate
        appendUtf8(out, cp);
    }
    return out;
}

std::u32string codePoints(std::u16string_view in) {
    std::u32string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        }
        out += cp;
    }
    return out;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace model

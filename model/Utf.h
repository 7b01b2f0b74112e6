// UTF-8, UTF-16 and UTF-32 conversion: the one codec for messages, captions,
// tables, the dispatch layer's strings and the displays' cells.
//
// Invalid input never fails: an invalid UTF-8 sequence (overlong forms
// included) becomes U+FFFD. Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace model {

// UTF-8 to UTF-16 and back; invalid sequences and unpaired surrogates
// become U+FFFD.
std::u16string utf16(std::string_view utf8);
std::string utf8(std::u16string_view utf16);

// The code points of UTF-16 text, a surrogate pair as one; an unpaired
// surrogate is kept as its own value for the caller to judge.
std::u32string codePoints(std::u16string_view utf16);
// Appends one code point to UTF-16 text, as a surrogate pair above U+FFFF.
void appendUtf16(std::u16string& out, char32_t codePoint);
// Appends one code point (not a surrogate) to UTF-8 text.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace model

// Quoting values that came from outside (a configuration file, a path) in
// messages: short, so that a huge value never floods a terminal or a trace,
// and escaped, so that control bytes (an ESC that would drive the terminal,
// a line break that would forge a second message) never reach either raw.
// Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace device {

// The text in double quotes, at most `most` characters of it: a control
// character as \n, \t or \u{1B}, a quote or backslash behind a backslash,
// invalid UTF-8 as U+FFFD; a longer text ends in ..." and its size, as in
// "abc..." (52428800 bytes).
std::string quotedExcerpt(std::string_view text, std::size_t most = 60);

}  // namespace device

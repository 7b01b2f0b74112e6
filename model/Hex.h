// Bytes as hex text, for traces, fault lists and messages: the one formatter.
// Pure function; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace model {

// The bytes as space-separated upper-case hex pairs ("1B 40").
std::string hexBytes(std::string_view bytes);

}  // namespace model

// OPOS result codes: their values, their display names, and ShowResultCode,
// which names a code in the console's status label.
//
// The table names the fifteen codes a Line Display returns (0 and 101..114);
// every other value has no name. Constant data; safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace display {

// The OPOS result codes, for the control object and the tests.
enum OposResult : std::int32_t {
    OPOS_SUCCESS = 0,
    OPOS_E_CLOSED = 101,
    OPOS_E_CLAIMED = 102,
    OPOS_E_NOTCLAIMED = 103,
    OPOS_E_NOSERVICE = 104,
    OPOS_E_DISABLED = 105,
    OPOS_E_ILLEGAL = 106,
    OPOS_E_NOHARDWARE = 107,
    OPOS_E_OFFLINE = 108,
    OPOS_E_NOEXIST = 109,
    OPOS_E_EXISTS = 110,
    OPOS_E_FAILURE = 111,
    OPOS_E_TIMEOUT = 112,
    OPOS_E_BUSY = 113,
    OPOS_E_EXTENDED = 114,
};

struct ResultCodeName {
    std::int32_t code;
    std::string_view name;
};

inline constexpr std::array<ResultCodeName, 15> resultCodeNames{{
    {OPOS_SUCCESS, "OPOS_SUCCESS"},
    {OPOS_E_CLOSED, "OPOS_E_CLOSED"},
    {OPOS_E_CLAIMED, "OPOS_E_CLAIMED"},
    {OPOS_E_NOTCLAIMED, "OPOS_E_NOTCLAIMED"},
    {OPOS_E_NOSERVICE, "OPOS_E_NOSERVICE"},
    {OPOS_E_DISABLED, "OPOS_E_DISABLED"},
    {OPOS_E_ILLEGAL, "OPOS_E_ILLEGAL"},
    {OPOS_E_NOHARDWARE, "OPOS_E_NOHARDWARE"},
    {OPOS_E_OFFLINE, "OPOS_E_OFFLINE"},
    {OPOS_E_NOEXIST, "OPOS_E_NOEXIST"},
    {OPOS_E_EXISTS, "OPOS_E_EXISTS"},
    {OPOS_E_FAILURE, "OPOS_E_FAILURE"},
    {OPOS_E_TIMEOUT, "OPOS_E_TIMEOUT"},
    {OPOS_E_BUSY, "OPOS_E_BUSY"},
    {OPOS_E_EXTENDED, "OPOS_E_EXTENDED"},
}};

// The name of a result code, or nothing for a code without one.
std::optional<std::string_view> resultCodeName(std::int32_t code);

// Writes the name of a known code through setStatus (the status label's
// caption setter); does nothing for a code without a name.
void ShowResultCode(std::int32_t code, const std::function<void(std::u16string_view)>& setStatus);

}  // namespace display

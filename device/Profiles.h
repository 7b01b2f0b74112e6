// Capability profiles of the displays the built-in control object knows:
// one data row per display model, read by the registry, the control object
// (capability properties and argument checks) and the tests.
//
// A profile is constant data fixed at open; nothing here changes at run time.
// Safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace device {

// Capability values of the Line Display device class, by their standard values.
namespace cap {
inline constexpr std::int32_t blinkNone = 0, blinkAll = 1, blinkEach = 2;
inline constexpr std::int32_t reverseNone = 0, reverseAll = 1, reverseEach = 2;
inline constexpr std::int32_t powerNone = 0, powerStandard = 1, powerAdvanced = 2;
inline constexpr std::int32_t charSetNumeric = 0, charSetAlpha = 1, charSetKana = 10, charSetKanji = 11,
                              charSetUnicode = 997, charSetAscii = 998;
// CapCursorType bits.
inline constexpr std::int32_t cursorFixed = 0x01, cursorBlock = 0x02, cursorHalfBlock = 0x04,
                              cursorUnderline = 0x08, cursorReverse = 0x10, cursorOther = 0x20,
                              cursorBlink = 0x40;
}  // namespace cap

// CursorType values; a type may be ORed with cursorTypeBlink.
namespace cursor {
inline constexpr std::int32_t none = 0, fixed = 1, block = 2, halfBlock = 3, underline = 4, reverse = 5,
                              other = 6;
inline constexpr std::int32_t blinkFlag = 0x10000000;
}  // namespace cursor

struct DeviceProfile {
    std::string_view name;  // the device name given to Open
    std::int32_t rows;
    std::int32_t columns;
    std::int32_t capBlink;
    std::int32_t capReverse;
    bool capBrightness;
    std::array<std::int32_t, 8> brightnessLevels;  // ascending percentages, 0 = blank
    std::uint8_t brightnessLevelCount;
    std::int32_t capCursorType;
    std::int32_t initialCursorType;
    bool capDescriptors;
    std::int32_t deviceDescriptors;
    bool capHMarquee;
    bool capVMarquee;
    bool capBlinkRate;
    bool capCustomGlyph;
    std::string_view customGlyphList;
    std::int32_t capCharacterSet;
    std::string_view characterSetList;  // comma-separated CharacterSet values
    std::int32_t initialCharacterSet;
    bool capICharWait;
    std::int32_t capPowerReporting;
    std::int32_t deviceWindows;  // highest window number; 0 = only the device window

    std::span<const std::int32_t> levels() const { return {brightnessLevels.data(), brightnessLevelCount}; }
};

// The simulated displays. TQN730 is the console's default device: a 2x20
// vacuum-fluorescent pole display with per-character reverse, four dimming
// steps, a selectable cursor, windows and slow output, but no blinking.
// DM-D202 is a simpler 2x20 display: per-character blink, no reverse, a fixed
// cursor, fewer windows, no power reporting, no inter-character wait, and a
// wider choice of code pages.
inline constexpr std::array<DeviceProfile, 2> profiles{{
    // name      rows cols blink            reverse            bright levels                       n  cursor
    // caps                                                        initial cursor   desc  n  hMq   vMq    rate
    // glyph  glyphs  charset cap         set list                        set  icw    power windows
    {"TQN730", 2, 20, cap::blinkNone, cap::reverseEach, true, {0, 25, 50, 75, 100}, 5,
        cap::cursorBlock | cap::cursorUnderline | cap::cursorBlink, cursor::underline, false, 0, true, true,
        false, false, "", cap::charSetAscii, "437,850,858,998", 437, true, cap::powerStandard, 4},
    {"DM-D202", 2, 20, cap::blinkEach, cap::reverseNone, true, {0, 20, 40, 60, 80, 100}, 6, cap::cursorFixed,
        cursor::fixed, true, 8, true, false, false, false, "", cap::charSetAscii, "437,850,852,866,998,1252",
        998, false, cap::powerNone, 2},
}};

// The profile of a device name, or nothing for a name no profile has.
std::optional<DeviceProfile> findProfile(std::string_view name);

// The brightness level of the profile nearest to a percentage (the higher
// of two equally near levels); the percentage itself without CapBrightness.
std::int32_t nearestBrightness(const DeviceProfile& profile, std::int32_t percent);

// Whether a CharacterSet value appears in the profile's CharacterSetList.
bool listsCharacterSet(const DeviceProfile& profile, std::int32_t characterSet);

}  // namespace device

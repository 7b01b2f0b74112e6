// Capability profiles of the displays the built-in control object knows:
// one data row per display model, read by the registry, the control object
// (capability properties and argument checks), the serial displays (which
// build theirs from rows of the same kind) and the tests.
//
// A profile is constant data fixed at open; its lists (brightness levels,
// character sets) refer to static storage. Nothing here changes at run time.
// Safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace model {

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

// CursorType values; a type may be ORed with blinkFlag.
namespace cursor {
inline constexpr std::int32_t none = 0, fixed = 1, block = 2, halfBlock = 3, underline = 4, reverse = 5,
                              other = 6;
inline constexpr std::int32_t blinkFlag = 0x10000000;
}  // namespace cursor

struct DeviceProfile {
    std::string_view name{};  // the device name given to Open
    std::int32_t rows = 2;
    std::int32_t columns = 20;
    std::int32_t capBlink = cap::blinkNone;
    std::int32_t capReverse = cap::reverseNone;
    bool capBrightness = false;
    std::span<const std::int32_t> brightnessLevels{};  // ascending percentages, 0 = blank
    std::int32_t capCursorType = 0;
    std::int32_t initialCursorType = cursor::none;
    bool capDescriptors = false;
    std::int32_t deviceDescriptors = 0;
    bool capHMarquee = false;
    bool capVMarquee = false;
    bool capBlinkRate = false;
    bool capCustomGlyph = false;
    std::string_view customGlyphList{};
    std::int32_t capCharacterSet = cap::charSetAscii;
    std::string_view characterSetList{};  // comma-separated CharacterSet values
    std::int32_t initialCharacterSet = cap::charSetAscii;
    bool capICharWait = false;
    std::int32_t capPowerReporting = cap::powerNone;
    std::int32_t deviceWindows = 0;  // highest window number; 0 = only the device window

    std::span<const std::int32_t> levels() const { return brightnessLevels; }
};

inline constexpr std::array<std::int32_t, 5> tqn730Levels{0, 25, 50, 75, 100};
inline constexpr std::array<std::int32_t, 6> dmD202Levels{0, 20, 40, 60, 80, 100};

// The simulated displays. TQN730 is the console's default device: a 2x20
// vacuum-fluorescent pole display with per-character reverse, four dimming
// steps, a selectable cursor, windows and slow output, but no blinking.
// DM-D202 is a simpler 2x20 display: per-character blink, no reverse, a fixed
// cursor, fewer windows, no power reporting, no inter-character wait, and a
// wider choice of code pages. Both take Unicode text (997) and open with it:
// they show it through their code pages and replace the rest.
inline constexpr std::array<DeviceProfile, 2> profiles{{
    {
        .name = "TQN730",
        .rows = 2,
        .columns = 20,
        .capBlink = cap::blinkNone,
        .capReverse = cap::reverseEach,
        .capBrightness = true,
        .brightnessLevels = tqn730Levels,
        .capCursorType = cap::cursorBlock | cap::cursorUnderline | cap::cursorBlink,
        .initialCursorType = cursor::underline,
        .capDescriptors = false,
        .deviceDescriptors = 0,
        .capHMarquee = true,
        .capVMarquee = true,
        .capBlinkRate = false,
        .capCustomGlyph = false,
        .customGlyphList = "",
        .capCharacterSet = cap::charSetUnicode,
        .characterSetList = "437,850,858,997,998",
        .initialCharacterSet = cap::charSetUnicode,
        .capICharWait = true,
        .capPowerReporting = cap::powerStandard,
        .deviceWindows = 4,
    },
    {
        .name = "DM-D202",
        .rows = 2,
        .columns = 20,
        .capBlink = cap::blinkEach,
        .capReverse = cap::reverseNone,
        .capBrightness = true,
        .brightnessLevels = dmD202Levels,
        .capCursorType = cap::cursorFixed,
        .initialCursorType = cursor::fixed,
        .capDescriptors = true,
        .deviceDescriptors = 8,
        .capHMarquee = true,
        .capVMarquee = false,
        .capBlinkRate = false,
        .capCustomGlyph = false,
        .customGlyphList = "",
        .capCharacterSet = cap::charSetUnicode,
        .characterSetList = "437,850,852,866,997,998,1252",
        .initialCharacterSet = cap::charSetUnicode,
        .capICharWait = false,
        .capPowerReporting = cap::powerNone,
        .deviceWindows = 2,
    },
}};

// The profile of a device name, or nothing for a name no profile has.
std::optional<DeviceProfile> findProfile(std::string_view name);

// The brightness level of the profile nearest to a percentage (the higher
// of two equally near levels); the percentage itself without CapBrightness.
std::int32_t nearestBrightness(const DeviceProfile& profile, std::int32_t percent);

// Whether a CharacterSet value appears in the profile's CharacterSetList.
bool listsCharacterSet(const DeviceProfile& profile, std::int32_t characterSet);

}  // namespace model

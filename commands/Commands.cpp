#include "commands/Commands.h"

#include "display/Conversions.h"
#include "display/Operations.h"
#include "display/ResultCodes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace commands {
namespace {

using display::DispId;
using display::dispIdOf;
using display::OPOSLineDisplay;
using display::Variant;

// The timeout that "Claim" gives the control, in milliseconds.
constexpr std::int32_t claimTimeout = 1000;

void showResult(Form& form, std::int32_t code) {
    display::ShowResultCode(code, [&form](std::u16string_view name) { form.setCaption("Label1", name); });
}

bool deviceEnabled(OPOSLineDisplay& control) {
    return display::toBoolean(control.read(dispIdOf("DeviceEnabled"))) != display::variantFalse;
}

// The attribute chosen in an option group of four: the first selected button
// in order gives 0 (normal), 1 (blink), 2 (reverse) or 3 (blink reverse);
// none selected leaves 0.
using AttributeGroup = std::array<std::string_view, 4>;
constexpr AttributeGroup dispTextAttributes{"Option3", "Option4", "Option5", "Option6"};
constexpr AttributeGroup dispTextAtAttributes{"Option7", "Option8", "Option9", "Option10"};

std::int16_t chosenAttribute(Form& form, const AttributeGroup& group) {
    std::int16_t attribute = 0;
    for (std::int16_t value = 0; value < static_cast<std::int16_t>(group.size()); ++value) {
        if (form.isSelected(group[static_cast<std::size_t>(value)])) {
            attribute = value;
            break;
        }
    }
    return attribute;
}

// ---- Life cycle -----------------------------------------------------------

void openDevice(Form& form, OPOSLineDisplay& control) {
    std::int16_t openResult = 0;
    // The first selected device option names the device; with none selected
    // nothing is opened and success is shown.
    for (const std::string_view option : {"Option1", "Option2"}) {
        if (form.isSelected(option)) {
            const Variant result =
                control.read(dispIdOf("Open"), {Variant::fromString(form.caption(option))});
            openResult = display::toInt16(result);
            break;
        }
    }
    showResult(form, openResult);
}

void claimDevice(Form& form, OPOSLineDisplay& control) {
    const Variant result = control.read(dispIdOf("ClaimDevice"), {Variant::fromInt32(claimTimeout)});
    const std::int16_t claimResult = display::toInt16(result);
    showResult(form, claimResult);
}

void enableDevice(Form&, OPOSLineDisplay& control) {
    control.write(dispIdOf("DeviceEnabled"), Variant::fromBool(true));
}

void releaseDevice(Form&, OPOSLineDisplay& control) { control.call(dispIdOf("ReleaseDevice")); }

void closeDevice(Form&, OPOSLineDisplay& control) { control.call(dispIdOf("Close")); }

// ---- Text output ----------------------------------------------------------

void clearText(Form&, OPOSLineDisplay& control) {
    if (!deviceEnabled(control)) return;
    control.call(dispIdOf("ClearText"));
}

void displayText(Form& form, OPOSLineDisplay& control) {
    const std::int16_t attribute = chosenAttribute(form, dispTextAttributes);
    if (!deviceEnabled(control)) return;
    const std::u16string data = form.text("Text4");
    const Variant result =
        control.read(dispIdOf("DisplayText"), {Variant::fromString(data), Variant::fromInt32(attribute)});
    static_cast<void>(display::toInt32(result));  // converted like every result, then not shown
}

void displayTextAt(Form& form, OPOSLineDisplay& control) {
    const std::int16_t attribute = chosenAttribute(form, dispTextAtAttributes);
    if (!deviceEnabled(control)) return;
    const std::int32_t row = display::textToInt32(form.text("Text1"));
    const std::int32_t column = display::textToInt32(form.text("Text2"));
    const std::u16string data = form.text("Text3");
    const Variant result = control.read(
        dispIdOf("DisplayTextAt"), {Variant::fromInt32(row), Variant::fromInt32(column),
                                       Variant::fromString(data), Variant::fromInt32(attribute)});
    static_cast<void>(display::toInt32(result));
}

void destroyWindow(Form& form, OPOSLineDisplay& control) {
    showResult(form, display::toInt32(control.read(dispIdOf("DestroyWindow"))));
}

// ---- Health ---------------------------------------------------------------

template <std::int32_t level>
void checkHealth(Form& form, OPOSLineDisplay& control) {
    showResult(form, display::toInt32(control.read(dispIdOf("CheckHealth"), {Variant::fromInt32(level)})));
}

void checkHealthText(Form& form, OPOSLineDisplay& control) {
    form.setCaption("Label10", display::toText(control.read(dispIdOf("CheckHealthText"))));
}

// ---- Readers --------------------------------------------------------------

// The ways a value read from the control is shown in a label.
enum class Shown {
    Decimal,           // integer in decimal
    Boolean,           // "True" for any non-zero boolean form
    Text,              // the string as it comes
    FalseTest,         // "False" only for false, "True" otherwise
    StandardTrueTest,  // "True" only for the standard true -1
    EnabledTest,       // "DISABLED" for 0, "ENABLED" otherwise
};

std::u16string shownText(Shown shown, const Variant& value) {
    switch (shown) {
    case Shown::Decimal: return display::decimalText(display::toInt32(value));
    case Shown::Boolean: return display::booleanText(display::toBoolean(value));
    case Shown::Text: return display::toText(value);
    case Shown::FalseTest: return display::toBoolean(value) == display::variantFalse ? u"False" : u"True";
    case Shown::StandardTrueTest:
        return display::toBoolean(value) == display::variantTrue ? u"True" : u"False";
    case Shown::EnabledTest: return display::toInt32(value) == 0 ? u"DISABLED" : u"ENABLED";
    }
    return {};
}

struct Reader {
    std::string_view button;
    DispId property;
    Shown shown;
    std::string_view label;
};

constexpr std::array readers{
    Reader{"Command8", dispIdOf("DeviceEnabled"), Shown::FalseTest, "Label4"},
    Reader{"Command9", dispIdOf("Columns"), Shown::Decimal, "Label5"},
    Reader{"Command10", dispIdOf("CursorColumn"), Shown::Decimal, "Label6"},
    Reader{"Command11", dispIdOf("CursorRow"), Shown::Decimal, "Label7"},
    Reader{"Command12", dispIdOf("Rows"), Shown::Decimal, "Label8"},
    Reader{"Command13", dispIdOf("CursorUpdate"), Shown::Boolean, "Label9"},
    Reader{"Command21", dispIdOf("InterCharacterWait"), Shown::Decimal, "Label11"},
    Reader{"Command23", dispIdOf("CapHMarquee"), Shown::StandardTrueTest, "Label16"},
    Reader{"Command24", dispIdOf("CapVMarquee"), Shown::StandardTrueTest, "Label17"},
    Reader{"Command25", dispIdOf("MarqueeFormat"), Shown::Decimal, "Label18"},
    Reader{"Command26", dispIdOf("MarqueeRepeatWait"), Shown::Decimal, "Label19"},
    Reader{"Command28", dispIdOf("CharacterSet"), Shown::Decimal, "Label12"},
    Reader{"Command29", dispIdOf("PowerState"), Shown::Decimal, "Label13"},
    Reader{"Command30", dispIdOf("CapPowerReporting"), Shown::Decimal, "Label14"},
    Reader{"Command31", dispIdOf("PowerNotify"), Shown::EnabledTest, "Label20"},
    Reader{"Command32", dispIdOf("CapBlinkRate"), Shown::Boolean, "Label21"},
    Reader{"Command34", dispIdOf("CapBlink"), Shown::Decimal, "Label23"},
    Reader{"Command35", dispIdOf("CapDescriptors"), Shown::Boolean, "Label24"},
    Reader{"Command36", dispIdOf("DeviceDescriptors"), Shown::Decimal, "Label25"},
    Reader{"Command40", dispIdOf("CursorType"), Shown::Decimal, "Label26"},
    Reader{"Command41", dispIdOf("CapCursorType"), Shown::Decimal, "Label27"},
    Reader{"Command42", dispIdOf("DeviceBrightness"), Shown::Decimal, "Label28"},
    Reader{"Command44", dispIdOf("CapBrightness"), Shown::Boolean, "Label29"},
    Reader{"Command45", dispIdOf("CustomGlyphList"), Shown::Text, "Label30"},
    Reader{"Command46", dispIdOf("CapCustomGlyph"), Shown::Boolean, "Label31"},
    Reader{"Command47", dispIdOf("CharacterSetList"), Shown::Text, "Label32"},
    Reader{"Command48", dispIdOf("Claimed"), Shown::Boolean, "Label33"},
    Reader{"Command49", dispIdOf("ResultCode"), Shown::Decimal, "Label34"},
    Reader{"Command50", dispIdOf("ResultCodeExtended"), Shown::Decimal, "Label35"},
    Reader{"Command51", dispIdOf("FreezeEvents"), Shown::Boolean, "Label37"},
    Reader{"Command52", dispIdOf("State"), Shown::Decimal, "Label38"},
    Reader{"Command53", dispIdOf("CurrentWindow"), Shown::Decimal, "Label39"},
    Reader{"Command54", dispIdOf("BinaryConversion"), Shown::Decimal, "Label40"},
    Reader{"Command55", dispIdOf("DeviceWindows"), Shown::Decimal, "Label41"},
    Reader{"Command57", dispIdOf("CapReverse"), Shown::Decimal, "Label43"},
};

template <std::size_t row>
void readProperty(Form& form, OPOSLineDisplay& control) {
    constexpr const Reader& reader = readers[row];
    const Variant value = control.read(reader.property);
    form.setCaption(reader.label, shownText(reader.shown, value));
}

// ---- Writers --------------------------------------------------------------

struct Writer {
    std::string_view button;
    std::string_view textBox;
    DispId property;
    bool showsResultCode;  // reads ResultCode afterwards and names it in the status label
};

constexpr std::array writers{
    Writer{"Command15", "Text6", dispIdOf("InterCharacterWait"), false},
    Writer{"Command16", "Text8", dispIdOf("MarqueeRepeatWait"), false},
    Writer{"Command22", "Text7", dispIdOf("MarqueeFormat"), false},
    Writer{"Command37", "Text5", dispIdOf("CursorRow"), false},
    Writer{"Command38", "Text9", dispIdOf("CursorColumn"), false},
    Writer{"Command39", "Text10", dispIdOf("CursorType"), false},
    Writer{"Command43", "Text11", dispIdOf("DeviceBrightness"), true},
};

template <std::size_t row>
void writeProperty(Form& form, OPOSLineDisplay& control) {
    constexpr const Writer& writer = writers[row];
    const std::int32_t value = display::textToInt32(form.text(writer.textBox));
    control.write(writer.property, Variant::fromInt32(value));
    if constexpr (writer.showsResultCode) {
        showResult(form, display::toInt32(control.read(dispIdOf("ResultCode"))));
    }
}

// ---- Toggles --------------------------------------------------------------

// How a toggle computes the value it writes from the value it read first.
enum class Flip {
    FalseIfStandardTrue,  // boolean: false only when exactly -1 was read
    TrueIfFalse,          // boolean: true only when 0 was read
    OneIfZero,            // integer: 1 when 0 was read, else 0
};

struct Toggle {
    std::string_view button;
    DispId property;
    Flip flip;
    std::string_view label;
};

constexpr std::array toggles{
    Toggle{"Command19", dispIdOf("CursorUpdate"), Flip::FalseIfStandardTrue, "Label15"},
    Toggle{"Command56", dispIdOf("CursorUpdate"), Flip::TrueIfFalse, "Label42"},
    Toggle{"Command33", dispIdOf("PowerNotify"), Flip::OneIfZero, "Label22"},
};

template <std::size_t row>
void toggleProperty(Form& form, OPOSLineDisplay& control) {
    constexpr const Toggle& toggle = toggles[row];
    const Variant first = control.read(toggle.property);
    Variant next;
    switch (toggle.flip) {
    case Flip::FalseIfStandardTrue:
        next = Variant::fromBool(display::toBoolean(first) != display::variantTrue);
        break;
    case Flip::TrueIfFalse:
        next = Variant::fromBool(display::toBoolean(first) == display::variantFalse);
        break;
    case Flip::OneIfZero: next = Variant::fromInt32(display::toInt32(first) == 0 ? 1 : 0); break;
    }
    control.write(toggle.property, next);
    // The label shows what the control holds now, not what was written, so a
    // refused write shows as an unchanged value.
    const Variant now = control.read(toggle.property);
    const Shown shown = toggle.flip == Flip::OneIfZero ? Shown::Decimal : Shown::Boolean;
    form.setCaption(toggle.label, shownText(shown, now));
}

// ---- The button table -----------------------------------------------------

template <std::size_t... I>
constexpr auto readerButtons(std::index_sequence<I...>) {
    return std::array<Button, sizeof...(I)>{Button{readers[I].button, &readProperty<I>}...};
}
template <std::size_t... I>
constexpr auto writerButtons(std::index_sequence<I...>) {
    return std::array<Button, sizeof...(I)>{Button{writers[I].button, &writeProperty<I>}...};
}
template <std::size_t... I>
constexpr auto toggleButtons(std::index_sequence<I...>) {
    return std::array<Button, sizeof...(I)>{Button{toggles[I].button, &toggleProperty<I>}...};
}

constexpr std::array<Button, 13> fixedButtons{{
    {"Command2", &openDevice},
    {"Command3", &claimDevice},
    {"Command4", &enableDevice},
    {"Command1", &releaseDevice},
    {"cmdExit", &closeDevice},
    {"Command5", &clearText},
    {"Command7", &displayText},
    {"Command6", &displayTextAt},
    {"Command20", &destroyWindow},
    {"Command14", &checkHealth<1>},
    {"Command17", &checkHealth<2>},
    {"Command18", &checkHealth<3>},
    {"Command27", &checkHealthText},
}};

template <std::size_t... N>
constexpr auto concat(const std::array<Button, N>&... parts) {
    std::array<Button, (N + ...)> all{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), all.begin() + static_cast<std::ptrdiff_t>(at)), at += N), ...);
    return all;
}

constexpr auto allButtons = concat(fixedButtons, readerButtons(std::make_index_sequence<readers.size()>{}),
    writerButtons(std::make_index_sequence<writers.size()>{}),
    toggleButtons(std::make_index_sequence<toggles.size()>{}));
static_assert(allButtons.size() == 58, "every command button has exactly one handler");

}  // namespace

std::span<const Button> buttons() { return allButtons; }

void click(std::string_view button, Form& form, OPOSLineDisplay& control) {
    // Every click starts here: a binary search on an index sorted by name,
    // made once, rather than a walk through all 58 rows.
    static const auto byName = [] {
        std::array<const Button*, allButtons.size()> index{};
        for (std::size_t i = 0; i < allButtons.size(); ++i) index[i] = &allButtons[i];
        std::sort(
            index.begin(), index.end(), [](const Button* a, const Button* b) { return a->name < b->name; });
        return index;
    }();
    const auto it = std::lower_bound(byName.begin(), byName.end(), button,
        [](const Button* b, std::string_view name) { return b->name < name; });
    if (it == byName.end() || (*it)->name != button)
        throw FormError("no command button named " + std::string(button));
    (*it)->click(form, control);
}

}  // namespace commands

// Soak test: a long random sequence of clicks over all 58 buttons, with
// random texts in the boxes and random option choices, through the real
// handlers and the built-in control object with its simulated displays.
// After every click the control object's invariants are checked; at the end
// the device is closed and no file descriptor or thread may be left behind.
//
// LDT_SOAK_CLICKS (default 5000) and LDT_SOAK_SEED (default: from the clock)
// choose the run; the seed is printed so that a failure can be replayed:
//   LDT_SOAK_CLICKS=200000 LDT_SOAK_SEED=42 build/tests/commands/commands_soak_test
// Runs alone (the built-in display names are claimed machine-wide).
#include "app/ControlTable.h"
#include "commands/Commands.h"
#include "device/ClaimLock.h"
#include "device/LineDisplayControl.h"
#include "display/Conversions.h"
#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/ResultCodes.h"
#include "model/Utf.h"
#include "support/BuiltInControl.h"
#include "support/MemoryForm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using display::Variant;

std::uint64_t setting(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

std::size_t entriesIn(const char* folder) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

// What a person can put into a text box, from the ordinary to the hostile.
class Typist {
public:
    explicit Typist(std::uint64_t seed) : random_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

    std::u16string anyText() {
        static const std::u16string odd[] = {
            u"",
            u" ",
            u"\t 7 \t",
            u"abc",
            u"1,000",
            u"1e3",
            u"0x",
            u"&H",
            u"2.5",
            u"-2.5",
            u"+.5",
            u"0x7FFFFFFF",
            u"&H80000000",
            u"-2147483648",
            u"2147483647",
            u"2147483648",
            u"99999999999999999999",
            u"--1",
            u"1.2.3",
            u"caf\u00e9 \u20ac",
            u"\U0001F600\u4E2D\u6587",
            u"\u05E9\u05DC\u05D5\u05DD",
            u"\x1B[2J\x1B|bC",
            std::u16string(u"a\0b", 3),
            u"\r\n\x7F\b",
            u"\xD800 lone",
            u"\xDFFF",
        };
        switch (below(6)) {
        case 0: return odd[below(std::size(odd))];
        case 1: return display::decimalText(static_cast<std::int32_t>(below(30)) - 3);
        case 2: return display::decimalText(static_cast<std::int32_t>(below(240)) - 20);
        case 3: return huge();
        case 4: return printable(1 + below(25));
        default: {
            std::u16string s;
            for (std::size_t i = 0, n = below(12); i < n; ++i) s += static_cast<char16_t>(below(0x10000));
            return s;
        }
        }
    }
    std::u16string printable(std::size_t length) {
        std::u16string s;
        for (std::size_t i = 0; i < length; ++i) s += static_cast<char16_t>(u' ' + below(95));
        return s;
    }
    std::u16string huge() {
        std::u16string s = printable(200 + below(1800));
        for (std::size_t i = 0; i < 20; ++i) s[below(s.size())] = static_cast<char16_t>(below(0x3000));
        return s;
    }

private:
    std::mt19937_64 random_;
};

class Soak {
public:
    Soak()
        : control_(testsupport::builtInControl()),
          device_(dynamic_cast<device::LineDisplayControl&>(control_.control())) {}

    // One click as the window makes it: a DispatchError ends the click with a
    // message; anything else escaping a handler is a fault.
    // Returns whether the click ran to its end.
    bool click(std::string_view button) {
        form.forgetAccesses();  // a long run would otherwise keep every access
        try {
            commands::click(button, form, control_);
            return true;
        } catch (const display::DispatchError& e) {
            EXPECT_FALSE(std::string(e.what()).empty()) << button << " failed without saying why";
        } catch (const std::exception& e) {
            ADD_FAILURE() << button << " let through a failure that is not a dispatch error: " << e.what();
        }
        return false;
    }

    Variant read(std::string_view property) {
        return device_.invoke(display::operationNamed(property).id, display::invokePropertyGet, {});
    }
    std::int32_t readInt(std::string_view property) { return read(property).int32(); }
    bool readBool(std::string_view property) { return read(property).rawBool() != 0; }

    // The control object's invariants, as seen from outside it.
    void checkInvariants(std::string_view after) {
        SCOPED_TRACE("after " + std::string(after));
        const std::int32_t state = readInt("State");
        const auto shown = device_.shownModel();
        ASSERT_TRUE(state == 1 || state == 2) << "State " << state;
        ASSERT_EQ(state == 1, !shown.has_value()) << "State and the open device disagree";
        const bool claimed = readBool("Claimed");
        const bool enabled = readBool("DeviceEnabled");
        if (!shown) {
            ASSERT_FALSE(claimed);
            ASSERT_FALSE(enabled);
            return;
        }
        ASSERT_TRUE(!enabled || claimed) << "enabled without a claim";
        if (claimed) {
            ASSERT_TRUE(device::ClaimLock(openedName_).heldElsewhere()) << "claimed, lock not held";
        }

        const std::int32_t rows = readInt("Rows"), columns = readInt("Columns");
        const std::int32_t row = readInt("CursorRow"), column = readInt("CursorColumn");
        ASSERT_GT(rows, 0);
        ASSERT_GT(columns, 0);
        ASSERT_TRUE(row >= 0 && row < rows && column >= 0 && column <= columns)
            << "cursor " << row << "," << column << " outside " << rows << "x" << columns;
        const std::int32_t brightness = readInt("DeviceBrightness");
        ASSERT_TRUE(brightness >= 0 && brightness <= 100) << "brightness " << brightness;

        // Once slow output has run out, the device shows the application's
        // picture: same size, same cursor.
        device_.waitUntilIdle();
        const auto picture = device_.shownModel();
        ASSERT_TRUE(picture.has_value());
        const auto shownRows = picture->shownRows();
        ASSERT_EQ(static_cast<std::int32_t>(shownRows.size()), readInt("DeviceRows"));
        for (const auto& r : shownRows) {
            ASSERT_EQ(static_cast<std::int32_t>(model::codePoints(r).size()), readInt("DeviceColumns"));
        }
        ASSERT_EQ(picture->cursorRow(), row);
        ASSERT_EQ(picture->cursorColumn(), column);
        ASSERT_EQ(picture->brightness(), brightness);
    }

    // What a click that reached an enabled device and succeeded says about
    // the screen, where it can be told.
    void checkScreen(std::string_view button) {
        if (readInt("ResultCode") != display::OPOS_SUCCESS || readInt("CurrentWindow") != 0) return;
        const auto shownRows = device_.shownRows();
        if (shownRows.empty()) return;
        if (button == "Command5") {  // Clear Text
            for (const auto& r : shownRows)
                ASSERT_EQ(r.find_first_not_of(u' '), std::u16string::npos) << "not blank";
        }
        if (button == "Command6" && textAt_) {  // Disp Text At, with plain text that fits the row
            const auto& [row, column, text] = *textAt_;
            ASSERT_EQ(shownRows.at(static_cast<std::size_t>(row))
                          .substr(static_cast<std::size_t>(column), text.size()),
                text);
        }
    }

    // Remembers what a Disp Text At click should leave on the screen: plain
    // printable text in range (the handler's own conversions decide).
    void noteTextAt() {
        textAt_.reset();
        try {
            const std::int32_t row = display::textToInt32(form.label("Text1"));
            const std::int32_t column = display::textToInt32(form.label("Text2"));
            const std::u16string text = form.label("Text3");
            const bool plain = text.find_first_not_of(printableAscii()) == std::u16string::npos;
            if (readInt("State") == 2 && plain && row >= 0 && row < readInt("Rows") && column >= 0 &&
                column + static_cast<std::int32_t>(text.size()) <= readInt("Columns")) {
                textAt_ = {row, column, text};
            }
        } catch (const display::DispatchError&) {}
    }
    static const std::u16string& printableAscii() {
        static const std::u16string all = [] {
            std::u16string s;
            for (char16_t c = u' '; c < 0x7F; ++c) s += c;
            return s;
        }();
        return all;
    }

    void noteOpen(std::int32_t stateBefore) {
        if (stateBefore == 1 && readInt("State") == 2) {
            openedName_ =
                model::utf8(form.isSelected("Option1") ? form.caption("Option1") : form.caption("Option2"));
        }
    }

    testsupport::MemoryForm form;

private:
    display::OPOSLineDisplay control_;
    device::LineDisplayControl& device_;  // owned by control_
    std::string openedName_;
    std::optional<std::tuple<std::int32_t, std::int32_t, std::u16string>> textAt_;
};

std::vector<std::string_view> controlsOfKind(app::Kind kind) {
    std::vector<std::string_view> names;
    for (const auto& c : app::controls) {
        if (c.kind == kind) names.push_back(c.name);
    }
    return names;
}

}  // namespace

TEST(Soak, randomClicksKeepTheControlObjectSound) {
    const std::uint64_t clicks = setting("LDT_SOAK_CLICKS", 5000);
    const std::uint64_t seed = setting("LDT_SOAK_SEED",
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    std::printf("soak: %llu clicks, LDT_SOAK_SEED=%llu\n", static_cast<unsigned long long>(clicks),
        static_cast<unsigned long long>(seed));
    RecordProperty("seed", std::to_string(seed));

    const auto buttons = commands::buttons();
    ASSERT_EQ(buttons.size(), 58u);
    const auto textBoxes = controlsOfKind(app::Kind::TextBox);
    const auto options = controlsOfKind(app::Kind::OptionButton);
    // The life cycle gets a larger share, so that the device is open, claimed
    // and enabled for long stretches rather than rarely.
    const std::string_view lifeCycle[] = {"Command2", "Command3", "Command4"};

    Typist typist(seed);
    std::uint64_t opened = 0, enabled = 0, failed = 0;
    const std::size_t fdsBefore = entriesIn("/proc/self/fd");
    const std::size_t threadsBefore = entriesIn("/proc/self/task");
    {
        Soak soak;
        for (std::uint64_t i = 0; i < clicks; ++i) {
            for (std::size_t n = typist.below(3); n > 0; --n) {
                const auto box = textBoxes[typist.below(textBoxes.size())];
                std::u16string text = typist.anyText();
                // Inter-character waits stay at 0 or 1 ms, or a long run waits
                // minutes for slow output; slow output has its own tests.
                if (box == "Text6") {
                    try {
                        if (display::textToInt32(text) > 1) text = std::u16string(1, u'1');
                    } catch (const display::DispatchError&) {}
                }
                soak.form.type(box, text);
            }
            if (typist.below(4) == 0) soak.form.select(options[typist.below(options.size())]);
            if (typist.below(50) == 0) soak.form.clearOptions(typist.below(2) ? "Frame1" : "Frame2");

            const std::string_view button = typist.below(5) == 0 ? lifeCycle[typist.below(3)]
                                                                 : buttons[typist.below(buttons.size())].name;
            const std::int32_t stateBefore = soak.readInt("State");
            const bool enabledBefore = soak.readBool("DeviceEnabled");
            if (button == "Command6") soak.noteTextAt();
            const bool completed = soak.click(button);
            if (button == "Command2") soak.noteOpen(stateBefore);
            soak.checkInvariants(button);
            if (completed && enabledBefore) soak.checkScreen(button);
            opened += soak.readInt("State") == 2;
            enabled += soak.readBool("DeviceEnabled");
            failed += !completed;
            if (HasFailure()) {
                FAIL() << "click " << i << " (" << button << "), replay with LDT_SOAK_SEED=" << seed;
            }
        }
        std::printf(
            "soak: device open after %llu clicks, enabled after %llu, %llu clicks stopped by a failure\n",
            static_cast<unsigned long long>(opened), static_cast<unsigned long long>(enabled),
            static_cast<unsigned long long>(failed));
        // The run must have spent real time on an enabled device to mean anything.
        EXPECT_GT(enabled * 10, clicks) << "the device was enabled for too few clicks";
        soak.click("cmdExit");
        EXPECT_EQ(soak.readInt("State"), 1);
    }
    EXPECT_EQ(entriesIn("/proc/self/fd"), fdsBefore) << "file descriptors left open";
    EXPECT_EQ(entriesIn("/proc/self/task"), threadsBefore) << "threads left running";
}

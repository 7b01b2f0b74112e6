// What both front ends share: the click boundary and its wording, start-up
// without a control, and the geometry and tab order taken from the table.
#include "app/Console.h"
#include "support/MemoryForm.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(ClickBoundary, aFailureEndsTheClickWithOneLineNamingTheButtonsCaption) {
    display::ControlFactory none;
    auto started = app::startControl(none);
    testsupport::MemoryForm form;
    const auto before = form.labels();

    const auto line = app::runClick("Command2", form, *started.control);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->rfind("\"Open\" failed: the Line Display control object is not available: ", 0), 0u)
        << *line;
    EXPECT_EQ(form.labels(), before);

    const auto unknown = app::runClick("Command99", form, *started.control);
    ASSERT_TRUE(unknown.has_value());
    EXPECT_EQ(unknown->rfind("\"Command99\" failed: ", 0), 0u) << *unknown;
}

TEST(ClickBoundary, aCompletedClickReportsNothing) {
    testsupport::MemoryForm form;
    // A control that answers every call with 101 (closed).
    display::ControlFactory builtIn;
    builtIn.registerProgId(std::string(display::lineDisplayProgId), [] {
        struct Closed final : display::Dispatch {
            display::Variant invoke(display::DispId, unsigned, std::span<const display::Variant>) override {
                return display::Variant::fromInt32(101);
            }
        };
        return std::make_unique<Closed>();
    });
    auto working = app::startControl(builtIn);
    EXPECT_EQ(working.problem, "");
    EXPECT_EQ(app::runClick("Command2", form, *working.control), std::nullopt);
    EXPECT_EQ(form.label("Label1"), u"OPOS_E_CLOSED");
}

TEST(Startup, withoutTheControlSaysWhyAndStillGivesTheWindowAControl) {
    display::ControlFactory none;
    const auto started = app::startControl(none);
    ASSERT_NE(started.control, nullptr);
    EXPECT_EQ(started.problem,
        "The Line Display control could not be started: no control object is registered "
        "under the ProgID OposLineDisplay_1_7_LibCtl.OPOSLineDisplay");
}

TEST(Geometry, twipsScaleWithTheScreenDensity) {
    EXPECT_EQ(app::twipsToPixels(14190, 96.0), 946);
    EXPECT_EQ(app::twipsToPixels(11355, 96.0), 757);
    EXPECT_EQ(app::twipsToPixels(14190, 144.0), 1419);
    EXPECT_EQ(app::twipsToPixels(14190, 120.0), 1183);  // 1182.5 rounds up
    EXPECT_EQ(app::twipsToPixels(135, 192.0), 18);
    EXPECT_EQ(app::twipsToPixels(0, 144.0), 0);
}

TEST(Geometry, aControlInAFrameIsPlacedThroughItsFrameRoundedOnce) {
    const app::Control& inFrame = *app::findControl("Command7");  // Frame2 at 360,6120; itself at 240,240
    const auto at96 = app::windowPixelRect(inFrame, 96);
    EXPECT_EQ(at96.x, 40);
    EXPECT_EQ(at96.y, 424);
    EXPECT_EQ(at96.width, 97);
    EXPECT_EQ(at96.height, 25);
    const auto at120 = app::windowPixelRect(inFrame, 120);  // 600 twips = 50 px, 6360 = 530 px
    EXPECT_EQ(at120.x, 50);
    EXPECT_EQ(at120.y, 530);
    const app::Control& onWindow = *app::findControl("Label1");
    const auto direct = app::pixelRect(onWindow, 144), placed = app::windowPixelRect(onWindow, 144);
    EXPECT_EQ(std::tie(direct.x, direct.y, direct.width, direct.height),
        std::tie(placed.x, placed.y, placed.width, placed.height));
}

TEST(Geometry, focusOrderWalksEveryFocusableControlByRisingTabIndex) {
    const auto order = app::focusOrder();
    EXPECT_EQ(order.size(), app::countOf(app::Kind::CommandButton) + app::countOf(app::Kind::TextBox) +
                                app::countOf(app::Kind::OptionButton));
    EXPECT_EQ(order.front()->name, "cmdExit");
    EXPECT_TRUE(std::is_sorted(
        order.begin(), order.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; }));
}

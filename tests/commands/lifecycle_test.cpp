// The life-cycle buttons: exact calls on the control and the status label.
#include "support/Console.h"

#include "display/DispatchError.h"

using display::Variant;
using testsupport::Console;
using Calls = std::vector<std::string>;

TEST(OpenButton, opensTheSelectedDeviceAndNamesTheResult) {
    Console c;
    c.click("Command2");
    EXPECT_EQ(c.calls(), Calls{R"(read Open#37("TQN730"))"});
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_SUCCESS");

    c.form.select("Option1");
    c.click("Command2");
    c.form.select("Option2");
    c.click("Command2");
    EXPECT_EQ(c.calls(),
        (Calls{R"(read Open#37("TQN730"))", R"(read Open#37("DM-D202"))", R"(read Open#37("TQN730"))"}));
}

TEST(OpenButton, readsOption2OnlyWhenOption1IsClear) {
    Console c;
    c.form.select("Option1");
    c.click("Command2");
    EXPECT_EQ(c.form.accesses(), (Calls{"selected Option1", "caption of Option1", "set Label1"}));
}

TEST(OpenButton, withNoDeviceSelectedCallsNothingAndShowsSuccess) {
    Console c;
    c.form.clearOptions("Step1");
    c.click("Command2");
    EXPECT_TRUE(c.calls().empty());
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_SUCCESS");
}

TEST(OpenButton, showsRefusalsByNameAndKeepsTheLabelForUnknownCodes) {
    Console c;
    c.control().answer("Open", Variant::fromInt32(109));
    c.click("Command2");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_NOEXIST");
    for (const int unnamed : {115, 100, -1, 32767, -32768}) {
        c.control().answer("Open", Variant::fromInt32(unnamed));
        c.click("Command2");
        EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_NOEXIST") << unnamed;
    }
}

TEST(OpenAndClaim, resultsOutside16BitsFailWithOverflowAndLeaveTheLabel) {
    for (const char* button : {"Command2", "Command3"}) {
        for (const int big : {32768, -32769, 70000}) {
            Console c;
            c.control().answer(
                button == std::string("Command2") ? "Open" : "ClaimDevice", Variant::fromInt32(big));
            try {
                c.click(button);
                ADD_FAILURE() << button << " accepted " << big;
            } catch (const display::DispatchError& e) {
                EXPECT_EQ(e.kind(), display::FailureKind::Overflow);
                EXPECT_NE(std::string(e.what()).find(std::to_string(big)), std::string::npos) << e.what();
            }
            EXPECT_EQ(c.form.label("Label1"), u"Label1");
        }
    }
}

TEST(OpenButton, aResultThatIsNoNumberFails) {
    Console c;
    c.control().answer("Open", Variant::fromString(u"ready"));
    EXPECT_THROW(c.click("Command2"), display::DispatchError);
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
}

TEST(ClaimButton, alwaysPasses1000AndNamesTheResult) {
    Console c;
    c.control().answer("ClaimDevice", Variant::fromInt32(101));
    c.form.type("Text11", u"5");
    c.click("Command3");
    EXPECT_EQ(c.calls(), Calls{"read ClaimDevice#32(1000)"});
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_CLOSED");
    c.control().answer("ClaimDevice", Variant::fromInt32(112));
    c.click("Command3");
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_TIMEOUT");
}

TEST(EnableReleaseClose, makeOneCallEachAndShowNothing) {
    Console c;
    c.control().answer("ClaimDevice", Variant::fromInt32(106));
    c.click("Command3");
    const auto before = c.form.labels();
    c.control().clearLog();
    c.control().answer("ReleaseDevice", Variant::fromInt32(106));
    c.control().answer("Close", Variant::fromInt32(101));
    c.click("Command4");
    c.click("Command1");
    c.click("cmdExit");
    c.click("cmdExit");
    EXPECT_EQ(c.calls(), (Calls{"write DeviceEnabled#17(bool -1)", "call ReleaseDevice#38()",
                             "call Close#35()", "call Close#35()"}));
    EXPECT_EQ(c.form.labels(), before);
    EXPECT_EQ(c.form.label("Label1"), u"OPOS_E_ILLEGAL");
}

TEST(LifeCycle, aFailingCallEndsTheClickBeforeTheLabelIsWritten) {
    Console c;
    c.control().failOn("Open");
    EXPECT_THROW(c.click("Command2"), display::DispatchError);
    EXPECT_EQ(c.form.label("Label1"), u"Label1");
    c.control().failOn("DeviceEnabled");
    EXPECT_THROW(c.click("Command4"), display::DispatchError);
}

TEST(Buttons, everyButtonOfTheWindowHasExactlyOneHandler) {
    std::vector<std::string> names;
    for (const auto& b : commands::buttons()) names.emplace_back(b.name);
    std::vector<std::string> expected;
    for (const auto& control : app::controls) {
        if (control.kind == app::Kind::CommandButton) expected.emplace_back(control.name);
    }
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    Console c;
    EXPECT_THROW(c.click("Command58"), commands::FormError);
}

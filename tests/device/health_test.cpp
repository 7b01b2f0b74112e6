// CheckHealth at its three levels on the simulated display, and the text it
// leaves in CheckHealthText.
#include "DeviceTesting.h"

#include <gtest/gtest.h>

using namespace devicetest;
using namespace display;

namespace {

// A driver whose simulated display stays reachable by the test.
struct Watched {
    std::shared_ptr<device::SimulatedDisplay*> display = std::make_shared<device::SimulatedDisplay*>(nullptr);
    Driver driver;
    Watched() : driver(makeDriver(display)) {}

    static Driver makeDriver(const std::shared_ptr<device::SimulatedDisplay*>& slot) {
        const std::string name = uniqueDeviceName("TQN730");
        auto registry = std::make_shared<device::DeviceRegistry>();
        registry->add(name, [slot] {
            auto display = std::make_unique<device::SimulatedDisplay>(*model::findProfile("TQN730"));
            *slot = display.get();
            return display;
        });
        return Driver(name, registry);
    }
};

}  // namespace

TEST(CheckHealth, internalAndExternalSucceedWithTheirTexts) {
    Watched w;
    Driver& d = w.driver;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.readText("CheckHealthText"), u"");
    EXPECT_EQ(d.call("CheckHealth", {I(1)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readText("CheckHealthText"), u"Internal HCheck: Successful");
    EXPECT_EQ((*w.display)->testPatternsShown(), 0);  // the internal check leaves the display alone
    EXPECT_EQ(d.call("CheckHealth", {I(2)}), OPOS_SUCCESS);
    EXPECT_EQ(d.readText("CheckHealthText"), u"External HCheck: Successful");
}

TEST(CheckHealth, externalCheckRestoresTheDisplay) {
    Watched w;
    Driver& d = w.driver;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("DisplayText", {S(u"Keep me"), I(2)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("CreateWindow", {I(1), I(0), I(1), I(10), I(1), I(10)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"and me"), I(0)}), OPOS_SUCCESS);
    d.control().waitUntilIdle();
    const auto before = d.control().shownModel();
    ASSERT_EQ(d.call("CheckHealth", {I(2)}), OPOS_SUCCESS);
    EXPECT_EQ((*w.display)->testPatternsShown(), 1);
    EXPECT_EQ(d.control().shownModel(), before);
    // Output goes on where it left off.
    ASSERT_EQ(d.call("DisplayText", {S(u"!"), I(0)}), OPOS_SUCCESS);
    EXPECT_EQ(d.shownRows()[1], u"and me!             ");
}

TEST(CheckHealth, pendingSlowOutputIsShownBeforeTheCheck) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.write("InterCharacterWait", I(60000)), OPOS_SUCCESS);
    ASSERT_EQ(d.call("DisplayText", {S(u"slow"), I(0)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("CheckHealth", {I(2)}), OPOS_SUCCESS);
    EXPECT_EQ(d.control().shownRows()[0], u"slow                ");
}

TEST(CheckHealth, interactiveIsNotSupportedAndSaysSo) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    EXPECT_EQ(d.call("CheckHealth", {I(3)}), OPOS_E_ILLEGAL);
    const std::u16string text = d.readText("CheckHealthText");
    EXPECT_EQ(text.rfind(u"Interactive HCheck: Not supported", 0), 0u) << model::utf8(text);
}

TEST(CheckHealth, levelOutsideOneToThreeIsIllegalAndKeepsTheText) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("CheckHealth", {I(1)}), OPOS_SUCCESS);
    for (const std::int32_t level : {0, 4, -1}) {
        EXPECT_EQ(d.call("CheckHealth", {I(level)}), OPOS_E_ILLEGAL);
        EXPECT_EQ(d.readText("CheckHealthText"), u"Internal HCheck: Successful");
    }
}

TEST(CheckHealth, textStartsEmptyAgainAfterReopen) {
    Driver d;
    ASSERT_TRUE(d.openClaimEnable());
    ASSERT_EQ(d.call("CheckHealth", {I(1)}), OPOS_SUCCESS);
    ASSERT_EQ(d.call("Close"), OPOS_SUCCESS);
    ASSERT_EQ(d.open(), OPOS_SUCCESS);
    EXPECT_EQ(d.readText("CheckHealthText"), u"");
}

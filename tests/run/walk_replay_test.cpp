// A console session, recorded and replayed: the real window (offscreen),
// its "TQN730" wired by a device configuration to a serial display on a
// virtual display, with a trace. Every one of the 58 buttons is clicked, in
// the order a technician walks the window, at a technician's pace (each
// click's slow output is on the line before the next click). Then ldt-run's
// replay of that trace, against a fresh virtual display of its own, must
// give every recorded result and send identical bytes.
#include "RunTesting.h"
#include "app/DeviceSetup.h"
#include "app/qt/Step1.h"
#include "device/DeviceConfig.h"
#include "device/LineDisplayControl.h"
#include "emulator/PtyServer.h"
#include "model/CommandSet.h"
#include "run/LocalTarget.h"
#include "run/Replay.h"

#include <QPushButton>
#include <QtTest>

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The order of the walk: the life cycle first, every other button as the
// window lists them, then the text buttons once more (now with the
// inter-character wait set), and Release and Close last.
std::vector<std::string> walk() {
    const std::vector<std::string> first{"Command2", "Command3", "Command4"},
        last{"Command7", "Command6", "Command1", "cmdExit"};
    std::vector<std::string> order = first;
    for (const app::Control& c : app::controls) {
        const std::string name(c.name);
        if (c.kind != app::Kind::CommandButton || name == "Command1" || name == "cmdExit" ||
            std::find(first.begin(), first.end(), name) != first.end())
            continue;
        order.push_back(name);
    }
    order.insert(order.end(), last.begin(), last.end());
    return order;
}

}  // namespace

class WalkReplayTest : public QObject {
    Q_OBJECT

private slots:
    void aRecordedWalkReplaysWithEveryResultEqualAndTheSameBytes() {
        char name[] = "/tmp/ldt-walk-XXXXXX";
        QVERIFY(::mkdtemp(name) != nullptr);
        const fs::path dir = name;
        const fs::path trace = dir / "trace.log";

        {
            // The virtual display the console writes to, drained as the panel would.
            emulator::PtyServer server({(dir / "display").string(), 0});
            std::atomic<bool> stop{false};
            std::thread drain([&] {
                while (!stop) server.readFor(20ms);
            });
            const std::vector<std::string_view> sets{"DM-D", "CD5220"};
            const app::DeviceSetup devices = app::setUpDevices(device::parseDeviceConfig(
                "[devices.\"TQN730\"]\nservice = \"serial\"\nport = \"" + server.link() +
                    "\"\nbaud = 115200\ncommand-set = \"DM-D\"\ntrace = \"" + trace.string() + "\"\n",
                "devices.toml", sets));
            QVERIFY(devices.problems.empty());
            display::ControlFactory factory;
            device::registerBuiltInControl(factory, devices.registry);
            auto control =
                std::make_unique<display::OPOSLineDisplay>(factory.create(display::lineDisplayProgId));
            auto& builtIn = dynamic_cast<device::LineDisplayControl&>(control->control());
            QStringList reported;
            app::qt::Step1 window(
                std::move(control), [&](QWidget&, const QString& line) { reported << line; });
            window.show();
            const std::vector<std::string> order = walk();
            QCOMPARE(std::set<std::string>(order.begin(), order.end()).size(), std::size_t{58});
            for (const std::string& button : order) {
                QTest::mouseClick(qobject_cast<QPushButton*>(window.widget(button)), Qt::LeftButton);
                builtIn.waitUntilIdle();
            }
            QVERIFY2(reported.isEmpty(), qPrintable(reported.join("\n")));
            stop = true;
            drain.join();
        }

        const std::string recorded = runtest::slurp(trace);
        const run::RecordedTrace parsed = run::parseTrace(recorded, trace.string());
        QVERIFY(parsed.calls.size() >= 58);
        QVERIFY(parsed.wire.at("TQN730").size() > 100);
        QVERIFY(recorded.find("InterCharacterWait = 100 -> OPOS_SUCCESS") != std::string::npos);

        run::LocalTarget target;
        run::DeviceFacts facts(target, "virtual:DM-D");
        std::ostringstream out;
        run::Reporter reporter(out, nullptr, {.quiet = true});
        run::replay(parsed, target, facts, "virtual:DM-D", reporter);
        reporter.finish();
        QVERIFY2(reporter.failed() == 0, out.str().c_str());
        QCOMPARE(reporter.passed(), static_cast<int>(parsed.calls.size()) + 1);  // and the wire at the end

        // One byte different in the recording: the replay says where the wire parted.
        std::string tampered = recorded;
        const auto at = tampered.find(" bytes: 1B 40");
        QVERIFY(at != std::string::npos);
        tampered.replace(at + 8, 5, "1B 41");
        std::ostringstream other;
        run::Reporter otherReporter(other, nullptr, {.quiet = true});
        run::replay(run::parseTrace(tampered, "t.log"), target, facts, "virtual:DM-D", otherReporter);
        QVERIFY2(other.str().find("wire of \"TQN730\": from byte 1 on the display was sent 40 ") !=
                     std::string::npos,
            other.str().c_str());
        QCOMPARE(otherReporter.failed(), 2);  // where it parted, and the whole stream at the end
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
};

QTEST_MAIN(WalkReplayTest)
#include "walk_replay_test.moc"

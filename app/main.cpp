// TQN730Test: start-up of the line display bench-test console.
//
// The one place that composes the layers: it reads the device configuration
// (the built-in simulated displays plus any configured serial displays; see
// device/DeviceConfig.h), registers the built-in Line Display control object
// under its ProgID serving those devices, creates the control instance from
// that ProgID, and shows the window Step1 around it. Should the control
// not be created, the window opens all the same, a message box and standard
// error say why, and each click says so again. The program reads no
// command line of its own; problems in the device configuration are written
// to standard error at start and again when such a device is opened.
#include "app/Console.h"
#include "app/DeviceSetup.h"
#include "app/qt/AppIcon.h"
#include "app/qt/Step1.h"
#include "device/LineDisplayControl.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <memory>

int main(int, char** argv) {
    // Only the program name reaches Qt: the console takes no arguments, so
    // none may change how it runs.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Project1"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setWindowIcon(app::qt::applicationIcon());

    const app::DeviceSetup devices = app::setUpDevicesFromEnvironment();
    // A screenful at most: each broken device tells its problem again when opened.
    constexpr std::size_t toldProblems = 40;
    for (std::size_t i = 0; i < devices.problems.size() && i < toldProblems; ++i)
        std::cerr << "device configuration: " << devices.problems[i] << '\n';
    if (devices.problems.size() > toldProblems) {
        std::cerr << "device configuration: " << devices.problems.size() - toldProblems
                  << " more problems (each device tells its own again when it is opened)\n";
    }
    std::cerr << std::flush;

    display::ControlFactory factory;
    device::registerBuiltInControl(factory, devices.registry);
    app::StartedControl started = app::startControl(factory);

    app::qt::Step1 window(std::move(started.control));
    window.show();
    if (!started.problem.empty()) {
        // The window still opens: every click then says why nothing works,
        // which tells the user more than a program that will not start.
        const QString line = QString::fromStdString(started.problem);
        std::cerr << started.problem << std::endl;
        QMessageBox::warning(&window, QApplication::applicationName(), line);
    }
    return application.exec();
}

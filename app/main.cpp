// TQN730Test: start-up of the line display bench-test console.
//
// The one place that composes the layers: it registers the built-in Line
// Display control object under its ProgID, creates the control instance from
// that ProgID, and shows the window Step1 around it. The program reads no
// command line, settings or environment of its own.
#include "app/qt/AppIcon.h"
#include "app/qt/Step1.h"
#include "device/Registry.h"
#include "display/OPOSLineDisplay.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>
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

    display::ControlFactory factory;
    device::registerBuiltInControl(factory);

    std::unique_ptr<display::OPOSLineDisplay> control;
    try {
        control = std::make_unique<display::OPOSLineDisplay>(factory.create(display::lineDisplayProgId));
    } catch (const std::exception& e) {
        // The window cannot work without its control: say so and stop.
        const QString line = QStringLiteral("The Line Display control object (%1) could not be created: %2")
                                 .arg(QString::fromUtf8(display::lineDisplayProgId.data(),
                                                        static_cast<qsizetype>(display::lineDisplayProgId.size())),
                                      QString::fromUtf8(e.what()));
        std::cerr << line.toStdString() << std::endl;
        QMessageBox::critical(nullptr, QApplication::applicationName(), line);
        return 1;
    }

    app::qt::Step1 window(std::move(control));
    window.show();
    return application.exec();
}

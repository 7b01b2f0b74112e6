// Writes the installed icons of the console and of the virtual display at
// the usual sizes, from the very code that draws their window icons:
//   <folder>/<N>x<N>/apps/linedisplaytest.png
//   <folder>/<N>x<N>/apps/ldt-virtual-display.png
// Run at build time, offscreen.
//
// Usage: ldt_render_icons <folder>
#include "app/qt/AppIcon.h"
#include "emulator/qt/PanelIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ldt_render_icons <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(apps)) {
            std::fprintf(stderr, "ldt_render_icons: cannot make %s\n", qPrintable(apps));
            return 1;
        }
        if (!app::qt::applicationIconImage(size).save(apps + QStringLiteral("/linedisplaytest.png")) ||
            !emulator::qt::virtualDisplayIconImage(size).save(
                apps + QStringLiteral("/ldt-virtual-display.png"))) {
            std::fprintf(stderr, "ldt_render_icons: cannot write the icons into %s\n", qPrintable(apps));
            return 1;
        }
    }
    return 0;
}

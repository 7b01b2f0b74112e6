// The panel as a user sees it, grabbed offscreen: dots light where text is
// and nowhere else, brightness dims them, reverse lights the background, a
// display switched off shows nothing, and the status line names the line and
// the latest bad sequences.
#include "emulator/qt/DisplayWindow.h"

#include <QImage>
#include <QtTest>

#include <algorithm>

using namespace std::string_view_literals;

namespace {

struct Lit {
    int count = 0;      // pixels clearly lit
    int brightest = 0;  // highest green value
};

// Lit pixels inside a cell's dots: phosphor is green-heavy, the glass and
// unlit dots are near black.
Lit litIn(const QImage& image, const QRect& cell) {
    Lit lit;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            lit.brightest = std::max(lit.brightest, c.green());
            if (c.green() > 90) ++lit.count;
        }
    }
    return lit;
}

QImage shot(emulator::qt::Panel& panel) { return panel.grab().toImage(); }

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private slots:
    void dotsLightWhereTextIsAndDimWithBrightness() {
        emulator::VirtualDisplay display(model::dmD());
        display.feed(
            "\x1F\x43\x00"
            "H\x1F\x24\x14\x02"
            "."sv);
        emulator::qt::Panel panel;
        panel.resize(panel.sizeHint());
        panel.setScreen(display.model(), display.state());
        QImage full = shot(panel);
        const Lit h = litIn(full, panel.cellRect(0, 0));
        const Lit blank = litIn(full, panel.cellRect(0, 1));
        const Lit dot = litIn(full, panel.cellRect(1, 19));
        QVERIFY2(h.count > 40, qPrintable(QString::number(h.count)));
        QCOMPARE(blank.count, 0);
        QVERIFY(dot.count > 0 && dot.count < h.count / 4);  // '.' is a few dots, 'H' many

        display.feed("\x1F\x58\x01"sv);
        panel.setScreen(display.model(), display.state());
        const Lit dim = litIn(shot(panel), panel.cellRect(0, 0));
        QVERIFY2(dim.brightest < h.brightest * 2 / 3,
            qPrintable(QStringLiteral("%1 vs %2").arg(dim.brightest).arg(h.brightest)));
        QVERIFY(dim.brightest > litIn(full, panel.cellRect(0, 1)).brightest);  // still readable
    }

    void reverseLightsTheBackgroundAndDisplayOffShowsNothing() {
        emulator::VirtualDisplay display(model::dmD());
        display.feed("\x1F\x43\x00\x1F\x72\x01 "sv);
        emulator::qt::Panel panel;
        panel.resize(panel.sizeHint());
        panel.setScreen(display.model(), display.state());
        QVERIFY(litIn(shot(panel), panel.cellRect(0, 0)).count > 60);
        QCOMPARE(litIn(shot(panel), panel.cellRect(0, 1)).count, 0);

        display.feed("\x1F\x45\xFF"sv);
        panel.setScreen(display.model(), display.state());
        QCOMPARE(litIn(shot(panel), panel.cellRect(0, 0)).count, 0);
    }

    void cursorIsABarUnderItsCell() {
        emulator::VirtualDisplay display(model::dmD());
        display.feed("\x1F\x24\x03\x01"sv);
        emulator::qt::Panel panel;
        panel.resize(panel.sizeHint());
        panel.setScreen(display.model(), display.state());
        const QRect cell = panel.cellRect(0, 2);
        const QRect under(cell.left(), cell.bottom() + 1, cell.width(), cell.height() / 3);
        QVERIFY(litIn(shot(panel), under).count > 0);
        QCOMPARE(litIn(shot(panel), panel.cellRect(0, 2)).count, 0);
        display.feed("\x1F\x43\x00"sv);
        panel.setScreen(display.model(), display.state());
        QCOMPARE(litIn(shot(panel), under).count, 0);
    }

    void statusLineNamesTheLineAndTheLatestBadSequences() {
        emulator::VirtualDisplay display(model::cd5220());
        display.feed("\x07\x1B\x6C\x30\x01"sv);
        emulator::qt::DisplayWindow window;
        window.setLine("/dev/pts/7", "/run/ldt-virtual-display", "CD5220", 9600);
        window.showScreen(display);
        const QString status = window.statusText();
        QVERIFY2(status.contains("CD5220 on /dev/pts/7 (link /run/ldt-virtual-display), 9600 baud"),
            qPrintable(status));
        QVERIFY2(status.contains(
                     "2 unknown or malformed, last: 1B 6C 30 01 (column 48 outside 1..20); 07 (unknown"),
            qPrintable(status));
    }
};

QTEST_MAIN(PanelTest)
#include "panel_test.moc"

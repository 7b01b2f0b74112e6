// The virtual display's panel: a glowing vacuum-fluorescent 2x20 display.
//
// Dark glass with cyan-green 5x7 dots and a soft glow, a visible gap between
// cells; brightness dims the dots, blinking cells and a blinking or switched
// off display follow the device state, reversed cells light their background,
// and the cursor is a bar under its cell. It draws a copy of the screen it is
// given, so the reader may go on changing its own. GUI thread only.
#pragma once

#include "emulator/VirtualDisplay.h"
#include "model/DisplayModel.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace emulator::qt {

class Panel : public QWidget {
public:
    explicit Panel(QWidget* parent = nullptr);

    // Shows this screen from now on.
    void setScreen(const model::DisplayModel& model, const PanelState& state);

    // Where a cell's 5x7 dots are drawn at the current size (for tests).
    QRect cellRect(int row, int column) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        double pitch = 0;  // distance between dot centres
        QPointF origin;    // top-left dot of cell (0,0)
    };
    Layout layout() const;
    QPointF dotCentre(const Layout& l, int row, int column, int dotX, int dotY) const;
    bool blinkPhaseOn(int periodMs) const;

    model::DisplayModel model_{2, 20};
    PanelState state_;
    QElapsedTimer clock_;
    QTimer blinkTimer_;
};

}  // namespace emulator::qt

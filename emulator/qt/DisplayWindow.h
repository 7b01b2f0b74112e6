// The virtual display's window: the panel and, under it, a status line with
// the pty path and its link, the command set and line rate, the last
// unknown or malformed sequences in hex, and the bytes a pass-through set
// sent to its printer port instead of the glass. GUI thread only.
#pragma once

#include "emulator/VirtualDisplay.h"
#include "emulator/qt/Panel.h"

#include <QLabel>
#include <QWidget>

namespace emulator::qt {

class DisplayWindow : public QWidget {
public:
    static constexpr std::size_t shownFaults = 3;

    explicit DisplayWindow(QWidget* parent = nullptr);

    // What line the display is on, for the status line; baud 0 = unpaced.
    void setLine(const QString& terminal, const QString& link, const QString& commandSet, std::int32_t baud);
    // Shows the display's screen and its latest faults.
    void showScreen(const VirtualDisplay& display);

    Panel& panel() { return *panel_; }
    QString statusText() const;

private:
    Panel* panel_;
    QLabel* line_;
    QLabel* faults_;
    QLabel* passed_;
};

}  // namespace emulator::qt

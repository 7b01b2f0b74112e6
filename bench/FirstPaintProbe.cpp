// Linked into a program built for the start-up benchmark: it notes when the
// program's first window has finished its first paint, prints that moment
// (CLOCK_MONOTONIC, nanoseconds) on standard output and ends the process at
// once. It hooks in through Qt's application start-up functions, so the
// program's own main() is used unchanged.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!armed_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            armed_ = true;
            // The window's paint event comes first; its controls are painted
            // and the frame flushed before control returns to the event loop.
            QTimer::singleShot(0, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(stdout);
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    bool armed_ = false;
};

void installProbe() { QCoreApplication::instance()->installEventFilter(new FirstPaint); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)

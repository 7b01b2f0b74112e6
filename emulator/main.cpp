// ldt-virtual-display: a 2x20 line display on a pseudo-terminal.
//
// Serves a pty (printing its path and a stable link to it), reads one serial
// command set from it and shows the result: in a window drawing a
// vacuum-fluorescent panel, or with --headless as text on standard output
// after every change, so that tests and scripts can read the screen. What
// the display answers (the ANSI set's identification) goes back on the pty;
// time moves marquees and the clock. Ends on SIGINT, SIGTERM or SIGHUP (and
// when the window closes), removing its link. A reader thread takes bytes
// off the pty; with a window, it hands them to the window's thread.
#include "emulator/PtyServer.h"
#include "emulator/VirtualDisplay.h"
#include "emulator/qt/DisplayWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPoint>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void requestStop(int) { stopRequested = true; }

struct Options {
    std::string link;
    const model::CommandSet* commandSet = &model::dmD();
    std::int32_t baud = 0;
    bool headless = false;
    std::optional<QPoint> position;  // where the window goes; else the window manager decides
};

std::string usage() {
    return "usage: ldt-virtual-display [--link PATH] [--command-set NAME] [--baud N] [--headless]\n"
           "  --link PATH          the stable path of the display's pty (default "
           "$XDG_RUNTIME_DIR/ldt-virtual-display,\n"
           "                       or /tmp/ldt-virtual-display)\n"
           "  --command-set NAME   the command set it reads (default DM-D): " +
           model::commandSetNames() +
           "\n"
           "  --baud N             read no faster than a line at N baud would carry (default: no pacing)\n"
           "  --headless           no window: print the screen to standard output after every change\n"
           "  --position X,Y       put the window's top-left corner there on the screen\n";
}

// Reads the options; on a bad one prints why and returns false.
bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::cerr << "ldt-virtual-display: " << arg << " needs a value\n";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--link") {
            if (!value(options.link)) return false;
        } else if (arg == "--command-set") {
            if (!value(v)) return false;
            options.commandSet = model::findCommandSet(v);
            if (options.commandSet == nullptr) {
                if (const auto why = model::unsupportedCommandSet(v)) {
                    std::cerr << "ldt-virtual-display: command set \"" << v << "\" " << *why << "\n";
                } else {
                    std::cerr << "ldt-virtual-display: unknown command set \"" << v << "\" ("
                              << model::commandSetNames() << ")\n";
                }
                return false;
            }
        } else if (arg == "--baud") {
            if (!value(v)) return false;
            char* end = nullptr;
            const long baud = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || baud < 50 || baud > 4'000'000) {
                std::cerr << "ldt-virtual-display: baud rate \"" << v
                          << "\" is not a number from 50 to 4000000\n";
                return false;
            }
            options.baud = static_cast<std::int32_t>(baud);
        } else if (arg == "--position") {
            if (!value(v)) return false;
            int x = 0;
            int y = 0;
            char rest = 0;
            if (std::sscanf(v.c_str(), "%d,%d%c", &x, &y, &rest) != 2 || x < 0 || y < 0) {
                std::cerr << "ldt-virtual-display: position \"" << v
                          << "\" is not X,Y (two whole numbers from 0)\n";
                return false;
            }
            options.position = QPoint(x, y);
        } else if (arg == "--help" || arg == "-h") {
            std::cout << usage();
            std::exit(0);
        } else {
            std::cerr << "ldt-virtual-display: unknown option \"" << arg << "\"\n" << usage();
            return false;
        }
    }
    return true;
}

int runHeadless(emulator::PtyServer& server, emulator::VirtualDisplay& display) {
    std::cout << display.describe() << std::flush;
    auto last = std::chrono::steady_clock::now();
    while (!stopRequested) {
        const std::string bytes = server.readFor(std::chrono::milliseconds(50));
        bool changed = !bytes.empty() && display.feed(bytes);
        server.write(display.takeReplies());
        const auto now = std::chrono::steady_clock::now();
        changed =
            display.advance(std::chrono::duration_cast<std::chrono::milliseconds>(now - last)) || changed;
        last = now;
        if (changed) std::cout << display.describe() << std::flush;
    }
    return 0;
}

int runWindow(int argc, char** argv, emulator::PtyServer& server, emulator::VirtualDisplay& display,
    const Options& options) {
    QApplication app(argc, argv);
    emulator::qt::DisplayWindow window;
    window.setLine(QString::fromStdString(server.terminalPath()), QString::fromStdString(server.link()),
        QString::fromUtf8(options.commandSet->name.data(), static_cast<int>(options.commandSet->name.size())),
        options.baud);
    window.showScreen(display);
    if (options.position) window.move(*options.position);
    window.show();
    window.activateWindow();

    // The reader thread owns the pty; the display is fed on the window's
    // thread, which alone touches it once the window is up. One piece is in
    // flight at a time: the reader waits until the window has taken it, so
    // it reads no faster than the window draws, nothing piles up in memory,
    // and a fast writer is slowed by the pty's own flow control.
    std::mutex mutex;
    std::condition_variable taken;
    bool inFlight = false;
    std::thread reader([&] {
        while (!stopRequested) {
            std::string bytes = server.readFor(std::chrono::milliseconds(100));
            if (bytes.empty()) continue;
            {
                const std::lock_guard lock(mutex);
                inFlight = true;
            }
            QMetaObject::invokeMethod(&window, [&, bytes = std::move(bytes)] {
                if (display.feed(bytes)) window.showScreen(display);
                server.write(display.takeReplies());
                const std::lock_guard lock(mutex);
                inFlight = false;
                taken.notify_one();
            });
            // Stopping is asked without a notification: look now and then.
            std::unique_lock lock(mutex);
            while (inFlight && !stopRequested) taken.wait_for(lock, std::chrono::milliseconds(100));
        }
    });
    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, &app, [] {
        if (stopRequested) QApplication::quit();
    });
    stopPoll.start(100);
    // Time for marquees, the clock and the self-test.
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        if (display.advance(std::chrono::milliseconds(clock.restart()))) window.showScreen(display);
    });
    tick.start(50);
    const int status = app.exec();
    stopRequested = true;
    reader.join();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;
    // Qt ends the program with an abort when it finds no screen: say so first.
    auto set = [](const char* name) { return std::getenv(name) != nullptr && *std::getenv(name) != '\0'; };
    if (!options.headless && !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::cerr << "ldt-virtual-display: no display to open a window on (DISPLAY is not set); "
                     "use --headless, or run it under X\n";
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = requestStop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    try {
        emulator::PtyServer server({options.link, options.baud});
        emulator::VirtualDisplay display(*options.commandSet);
        std::cout << "ldt-virtual-display: pty " << server.terminalPath() << "\n"
                  << "ldt-virtual-display: link " << server.link() << "\n"
                  << "ldt-virtual-display: command set " << options.commandSet->name << "\n"
                  << std::flush;
        return options.headless ? runHeadless(server, display)
                                : runWindow(argc, argv, server, display, options);
    } catch (const std::system_error& e) {
        std::cerr << "ldt-virtual-display: cannot serve the display: " << e.what() << "\n";
        return 1;
    }
}

// ldt-virtual-display: a 2x20 line display on a pseudo-terminal.
//
// Serves a pty (printing its path and a stable link to it), reads one serial
// command set from it at its own line settings and shows the result: in a
// window drawing a vacuum-fluorescent panel, or with --headless as text on
// standard output after every change, so that tests and scripts can read the
// screen. A sender whose line settings differ garbles what arrives, as on a
// real display (emulator/Line.h), and the status line says so; what the
// display answers (the ANSI set's identification) goes back on the pty, as
// garbled for a sender set otherwise. Time moves marquees and the clock.
// With --hidden SEED the set and line settings are drawn from the seed and
// not shown, for identification trials. Ends on SIGINT, SIGTERM or SIGHUP
// (and when the window closes), removing its link. A reader thread takes
// bytes off the pty; with a window, it hands them to the window's thread.
#include "emulator/Hidden.h"
#include "emulator/Line.h"
#include "emulator/PtyServer.h"
#include "emulator/VirtualDisplay.h"
#include "emulator/qt/DisplayWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPoint>
#include <QTimer>

#include <algorithm>
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
    model::LineSettings line;
    bool hidden = false;  // set and line drawn from a seed, not shown
    std::int32_t baud = 0;
    bool headless = false;
    std::optional<QPoint> position;  // where the window goes; else the window manager decides
};

std::string usage() {
    return "usage: ldt-virtual-display [--link PATH] [--command-set NAME] [--line SPEED,FRAME] [--hidden "
           "SEED]\n"
           "                           [--baud N] [--headless] [--position X,Y]\n"
           "  --link PATH          the stable path of the display's pty (default "
           "$XDG_RUNTIME_DIR/ldt-virtual-display,\n"
           "                       or /tmp/ldt-virtual-display)\n"
           "  --command-set NAME   the command set it reads (default DM-D): " +
           model::commandSetNames() +
           "\n"
           "  --line SPEED,FRAME   its own line settings, e.g. 9600,8O1 (default 9600,8N1); a sender set\n"
           "                       otherwise garbles what it shows\n"
           "  --hidden SEED        a command set and line settings drawn from the seed, not shown\n"
           "                       (for identification trials)\n"
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
        } else if (arg == "--line") {
            if (!value(v)) return false;
            const auto line = model::parseLine(v);
            if (!line) {
                std::cerr << "ldt-virtual-display: line settings \"" << v
                          << "\" are not SPEED,FRAME (a speed from 1200 to 115200, then data bits 7 or 8, "
                             "parity N, O, E, M or S and stop bits 1 or 2, as in 9600,8O1)\n";
                return false;
            }
            options.line = *line;
        } else if (arg == "--hidden") {
            if (!value(v)) return false;
            char* end = nullptr;
            const unsigned long long seed = std::strtoull(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || v.front() == '-') {
                std::cerr << "ldt-virtual-display: seed \"" << v << "\" is not a whole number\n";
                return false;
            }
            const emulator::Hidden hidden = emulator::drawHidden(seed);
            options.commandSet = hidden.commandSet;
            options.line = hidden.line;
            options.hidden = true;
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
    if (options.hidden && (std::find(argv, argv + argc, std::string("--command-set")) != argv + argc ||
                              std::find(argv, argv + argc, std::string("--line")) != argv + argc)) {
        std::cerr << "ldt-virtual-display: --hidden draws the command set and line settings; "
                     "leave out --command-set and --line\n";
        return false;
    }
    return true;
}

// The display's answer as the sender's port reads it: sent at the display's
// settings, received at the sender's (garbled when they differ).
std::string asSenderReads(
    const emulator::PtyServer& server, const model::LineSettings& display, std::string reply) {
    if (reply.empty()) return reply;
    emulator::Line back(server.senderSettings());
    std::string read = back.receive(reply, display);
    return read + back.idle();
}

// Takes what arrived (or, on a quiet line, nothing) through the display's
// receiver; returns the bytes it received and keeps the line's status.
class Receiver {
public:
    Receiver(emulator::PtyServer& server, const Options& options)
        : server_(server), line_(options.line), hidden_(options.hidden) {}

    std::string take(const std::string& bytes) {
        if (bytes.empty()) return line_.idle();
        const model::LineSettings sender = server_.senderSettings();
        status_.clear();
        if (line_.mismatched(sender)) {
            status_ = "sender " + model::speedAndFrame(sender) + ", display " +
                      (hidden_ ? std::string("hidden") : model::speedAndFrame(line_.display()));
        }
        return line_.receive(bytes, sender);
    }
    const std::string& status() const { return status_; }

private:
    emulator::PtyServer& server_;
    emulator::Line line_;
    bool hidden_;
    std::string status_;
};

int runHeadless(emulator::PtyServer& server, emulator::VirtualDisplay& display, const Options& options) {
    std::cout << display.describe() << std::flush;
    Receiver receiver(server, options);
    auto last = std::chrono::steady_clock::now();
    while (!stopRequested) {
        const std::string received = receiver.take(server.readFor(std::chrono::milliseconds(50)));
        const bool noted = receiver.status() != display.lineStatus();
        display.setLineStatus(receiver.status());
        bool changed = (!received.empty() && display.feed(received)) || noted;
        server.write(asSenderReads(server, options.line, display.takeReplies()));
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
    const std::string_view set = options.hidden ? std::string_view("hidden set") : options.commandSet->name;
    window.setLine(QString::fromStdString(server.terminalPath()), QString::fromStdString(server.link()),
        QString::fromUtf8(set.data(), static_cast<int>(set.size())), options.baud);
    // The display's own settings, or what is wrong with the sender's.
    const std::string ownLine =
        options.hidden ? std::string("line hidden") : "line " + model::describe(options.line);
    window.setLineStatus(QString::fromStdString(ownLine));
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
        Receiver receiver(server, options);
        std::string status;
        while (!stopRequested) {
            std::string bytes = receiver.take(server.readFor(std::chrono::milliseconds(100)));
            if (bytes.empty() && receiver.status() == status) continue;
            status = receiver.status();
            {
                const std::lock_guard lock(mutex);
                inFlight = true;
            }
            QMetaObject::invokeMethod(&window, [&, bytes = std::move(bytes), status] {
                display.setLineStatus(status);
                window.setLineStatus(QString::fromStdString(status.empty() ? ownLine : status));
                if (display.feed(bytes)) window.showScreen(display);
                server.write(asSenderReads(server, options.line, display.takeReplies()));
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
        emulator::PtyServer server({options.link, options.baud, options.line});
        emulator::VirtualDisplay display(*options.commandSet);
        std::cout << "ldt-virtual-display: pty " << server.terminalPath() << "\n"
                  << "ldt-virtual-display: link " << server.link() << "\n";
        if (options.hidden) {
            std::cout << "ldt-virtual-display: command set and line settings hidden\n";
        } else {
            std::cout << "ldt-virtual-display: command set " << options.commandSet->name << "\n"
                      << "ldt-virtual-display: line " << model::describe(options.line) << "\n";
        }
        std::cout << std::flush;
        return options.headless ? runHeadless(server, display, options)
                                : runWindow(argc, argv, server, display, options);
    } catch (const std::system_error& e) {
        std::cerr << "ldt-virtual-display: cannot serve the display: " << e.what() << "\n";
        return 1;
    }
}

// ldt-run: a Line Display driver's truth in one command. Runs scripts, a
// recorded device trace or the conformance pack against a device, through
// the same dispatch layer (and, for button presses, the same click
// handlers) as the console, and prints one line per check, then
// "N passed, N failed". Exit status 0 only when nothing failed, 1 when a
// check failed, 2 when the run could not be made at all.
//
// On Linux the control is the built-in one, serving the simulated displays,
// the devices of the device configuration files and "virtual:<set>" serial
// displays on virtual displays of its own; on Windows it is the control
// installed under the console's ProgID, reached through COM.
#include "run/Files.h"
#include "run/Pack.h"
#include "run/Replay.h"
#include "run/Report.h"
#include "run/Runner.h"
#include "run/Script.h"

#ifdef _WIN32
#include "run/ComTarget.h"

#include <io.h>
#else
#include "run/LocalTarget.h"

#include <unistd.h>
#endif

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::size_t scriptLimit = std::size_t{8} << 20;
constexpr std::size_t traceLimit = std::size_t{256} << 20;

constexpr const char* usage =
    "usage: ldt-run [options] SCRIPT...              run scripts (none runs if one does not parse)\n"
    "       ldt-run [options] --replay TRACE         make a device trace's calls again, expecting what it "
    "recorded\n"
    "       ldt-run [options] --conformance DEVICE   judge a device by the conformance pack (all: every "
    "device of\n"
    "                                                --list-devices)\n"
    "options:\n"
    "  --device NAME   the device DEVICE stands for in scripts (default TQN730); with --replay, the name "
    "the\n"
    "                  recorded device is opened under\n"
    "  --junit FILE    also write the findings to FILE as JUnit XML\n"
    "  --pack FILE     judge by this pack file instead of the built-in pack (may be given more than once)\n"
    "  --case TEXT     only the pack's cases whose id contains TEXT\n"
    "  --quiet         leave out the PASS lines\n"
    "  --list-devices  print the devices --conformance all judges, and stop\n"
    "exit status: 0 nothing failed, 1 a check failed, 2 the run could not be made\n";

struct Options {
    std::vector<std::string> scripts;
    std::optional<std::string> replay;
    std::optional<std::string> conformance;
    std::string device;
    std::optional<std::string> junit;
    std::vector<std::string> packFiles;
    std::string only;
    bool quiet = false;
    bool listDevices = false;
};

// Reads the command line; on a mistake prints why and returns nothing.
std::optional<Options> parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                std::cerr << "ldt-run: " << arg << " needs a value\n" << usage;
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        std::optional<std::string> v;
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            std::exit(0);
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--list-devices") {
            o.listDevices = true;
        } else if (arg == "--replay" || arg == "--conformance" || arg == "--device" || arg == "--junit" ||
                   arg == "--pack" || arg == "--case") {
            if (!(v = value())) return std::nullopt;
            if (arg == "--replay") o.replay = *v;
            if (arg == "--conformance") o.conformance = *v;
            if (arg == "--device") o.device = *v;
            if (arg == "--junit") o.junit = *v;
            if (arg == "--pack") o.packFiles.push_back(*v);
            if (arg == "--case") o.only = *v;
        } else if (arg.starts_with("--")) {
            std::cerr << "ldt-run: unknown option " << arg << "\n" << usage;
            return std::nullopt;
        } else {
            o.scripts.push_back(arg);
        }
    }
    const int modes = (o.scripts.empty() ? 0 : 1) + (o.replay ? 1 : 0) + (o.conformance ? 1 : 0);
    if (modes != 1 && !o.listDevices) {
        std::cerr << "ldt-run: give scripts, or --replay TRACE, or --conformance DEVICE (one of them)\n"
                  << usage;
        return std::nullopt;
    }
    return o;
}

bool onTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

// Reads a file the run needs; prints why not and returns nothing when it cannot.
std::optional<std::string> read(const std::string& file, std::size_t limit) {
    run::FileText text = run::readTextFile(file, limit);
    if (!text.error.empty()) {
        std::cerr << "ldt-run: " << text.error << "\n";
        return std::nullopt;
    }
    return std::move(text.text);
}

int runAll(const Options& o, run::Target& target, run::Reporter& reporter) {
    const std::string device = o.device.empty() ? "TQN730" : o.device;
    if (o.conformance) {
        std::vector<run::PackFile> files;
        for (const std::string& file : o.packFiles) {
            const auto text = read(file, scriptLimit);
            if (!text) return 2;
            files.push_back({file, *text});
        }
        const run::Pack pack = run::parsePack(files.empty() ? run::builtInPack() : files);
        std::vector<std::string> devices{*o.conformance};
        if (*o.conformance == "all") devices = target.allDevices();
        int status = 0;
        for (const std::string& name : devices) {
            run::DeviceFacts facts(target, name);
            try {
                run::runPack(pack, target, facts, reporter, o.only);
            } catch (const run::RunError& e) {
                std::cerr << "ldt-run: " << e.what() << "\n";
                status = 2;
            }
        }
        return status;
    }
    if (o.replay) {
        const auto text = read(*o.replay, traceLimit);
        if (!text) return 2;
        const run::RecordedTrace trace = run::parseTrace(*text, *o.replay);
        run::DeviceFacts facts(target, device);
        run::replay(trace, target, facts, o.device, reporter);
        return 0;
    }
    // Every script is read and parsed before anything is sent to a device.
    std::vector<run::Script> scripts;
    for (const std::string& file : o.scripts) {
        const auto text = read(file, scriptLimit);
        if (!text) return 2;
        scripts.push_back(run::parseScript(*text, file));
    }
    run::DeviceFacts facts(target, device);
    for (const run::Script& script : scripts) run::runScript(script, target, facts, reporter);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = parse(argc, argv);
    if (!options) return 2;
    try {
#ifdef _WIN32
        run::ComTarget target;
#else
        run::LocalTarget target;
        for (const std::string& problem : target.problems())
            std::cerr << "ldt-run: device configuration: " << problem << "\n";
#endif
        if (options->listDevices) {
            for (const std::string& name : target.allDevices()) std::cout << name << "\n";
            return 0;
        }
        run::Reporter reporter(std::cout, onTerminal() ? &std::clog : nullptr, {options->quiet});
        int status = 2;
        try {
            status = runAll(*options, target, reporter);
        } catch (const run::ParseError& e) {
            std::cerr << e.what() << "\n";
            return 2;
        } catch (const run::RunError& e) {
            std::cerr << "ldt-run: " << e.what() << "\n";
            status = 2;
        }
        // A run that could not be made at all has no counts to tell.
        const bool anything = reporter.passed() + reporter.failed() + reporter.skipped() > 0;
        if (status != 2 || anything) reporter.finish();
        if (options->junit) {
            if (const std::string error = reporter.writeJUnit(*options->junit); !error.empty()) {
                std::cerr << "ldt-run: " << error << "\n";
                return 2;
            }
        }
        if (status != 0) return status;
        return reporter.failed() == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "ldt-run: " << e.what() << "\n";
        return 2;
    }
}

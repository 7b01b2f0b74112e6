// Conformance benchmark: the whole conformance pack against the simulated
// display TQN730 (every case: a fresh control brought into its state, every
// property read before and after, the call, the judging), against the same
// dispatch calls made straight on fresh controls, without the runner. The
// calls are recorded from one run of the pack, so the baseline is exactly
// the device work the pack asks for; the ratio is the runner's own cost.
// Target: the pack in under 2 s.
//
// Usage: conformance_bench [samples]   (default 7)
#include "BenchStats.h"
#include "run/LocalTarget.h"
#include "run/Pack.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace {

// One thing the pack did to the dispatch interface.
struct Event {
    enum class Kind : std::uint8_t { create, invoke, destroy };
    Kind kind;
    int instance;
    display::DispId id = 0;
    unsigned flags = 0;
    std::vector<display::Variant> args;
};

class RecordingControl final : public display::Dispatch {
public:
    RecordingControl(std::unique_ptr<display::Dispatch> inner, std::vector<Event>& log, int instance)
        : inner_(std::move(inner)), log_(log), instance_(instance) {
        log_.push_back({Event::Kind::create, instance_, 0, 0, {}});
    }
    ~RecordingControl() override { log_.push_back({Event::Kind::destroy, instance_, 0, 0, {}}); }
    display::Variant invoke(
        display::DispId id, unsigned flags, std::span<const display::Variant> args) override {
        log_.push_back({Event::Kind::invoke, instance_, id, flags, {args.begin(), args.end()}});
        return inner_->invoke(id, flags, args);
    }

private:
    std::unique_ptr<display::Dispatch> inner_;
    std::vector<Event>& log_;
    int instance_;
};

// The local target, with every control it makes recording its calls.
class RecordingTarget final : public run::Target {
public:
    RecordingTarget(run::Target& inner, std::vector<Event>& log) : inner_(inner), log_(log) {}
    std::unique_ptr<display::Dispatch> createControl() override {
        return std::make_unique<RecordingControl>(inner_.createControl(), log_, next_++);
    }
    std::vector<std::string> allDevices() const override { return inner_.allDevices(); }

private:
    run::Target& inner_;
    std::vector<Event>& log_;
    int next_ = 0;
};

// One run of the pack; returns its failures (there should be none).
int runPack(run::Target& target) {
    static const run::Pack pack = run::parsePack(run::builtInPack());
    run::DeviceFacts facts(target, "TQN730");
    std::ostringstream out;
    run::Reporter reporter(out, nullptr, {.quiet = true});
    run::runPack(pack, target, facts, reporter);
    return reporter.failed();
}

// The recorded calls made straight on fresh controls of the target.
void replay(run::Target& target, const std::vector<Event>& log) {
    std::map<int, std::unique_ptr<display::Dispatch>> controls;
    for (const Event& e : log) {
        switch (e.kind) {
        case Event::Kind::create: controls[e.instance] = target.createControl(); break;
        case Event::Kind::destroy: controls.erase(e.instance); break;
        case Event::Kind::invoke: try { bench::keep(controls.at(e.instance)->invoke(e.id, e.flags, e.args));
            } catch (const std::exception&) {
                // A call the pack expects to fail as a call fails here too.
            }
            break;
        }
    }
}

double msOf(const auto& work) {
    const auto start = bench::Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(bench::Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    run::LocalTarget target;
    std::vector<Event> log;
    RecordingTarget recording(target, log);
    if (runPack(recording) != 0) {
        std::fprintf(stderr, "conformance_bench: the pack fails on TQN730; nothing to measure\n");
        return 2;
    }
    std::size_t calls = 0, controls = 0;
    for (const Event& e : log) {
        calls += e.kind == Event::Kind::invoke;
        controls += e.kind == Event::Kind::create;
    }

    std::vector<double> packMs, straightMs;
    for (int i = 0; i < samples; ++i) {
        packMs.push_back(msOf([&] { bench::keep(runPack(target)); }));
        straightMs.push_back(msOf([&] { replay(target, log); }));
    }
    std::printf(
        "conformance pack against the simulated display TQN730: %zu cases, %zu controls, %zu calls; "
        "median of %d runs\n",
        run::parsePack(run::builtInPack()).cases.size(), controls, calls, samples);
    bench::printRatio("conformance pack vs its calls", bench::median(packMs), bench::median(straightMs), "ms",
        "reported only");
    bench::printRatio("conformance pack vs 2 s", bench::median(packMs), 2000.0, "ms", "at most 1.00");
    return 0;
}

#include "run/LocalTarget.h"

#include "app/DeviceSetup.h"
#include "device/LineDisplayControl.h"
#include "emulator/PtyServer.h"
#include "emulator/VirtualDisplay.h"
#include "model/CommandSet.h"
#include "model/Profiles.h"
#include "serial/SerialDisplay.h"

#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace run {
namespace {

using namespace std::chrono_literals;

// Fast enough that a pack of cases is not held up by the line, slow enough
// to be a rate a display really runs at.
constexpr std::int32_t virtualBaud = 115200;

std::filesystem::path privateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern =
        std::string(runtime != nullptr && *runtime != '\0' ? runtime : "/tmp") + "/ldt-run-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "cannot make a private folder " + pattern);
    return pattern;
}

device::LineDisplayControl* builtIn(display::Dispatch& control) {
    return dynamic_cast<device::LineDisplayControl*>(&control);
}

}  // namespace

// A virtual display served in this process: a pseudo-terminal under a
// stable link, and a thread reading what arrives into the display's reader.
class LocalTarget::VirtualLine {
public:
    VirtualLine(const model::CommandSet& set, std::string link)
        : set_(set), link_(std::move(link)), display_(set) {}
    ~VirtualLine() { stop(); }

    const std::string& link() const { return link_; }
    bool everStarted() const { return everStarted_; }

    void start() {
        if (server_) return;
        server_ = std::make_unique<emulator::PtyServer>(emulator::PtyServer::Options{link_, 0});
        {
            std::lock_guard lock(mutex_);
            display_ = emulator::VirtualDisplay(set_);  // just switched on
        }
        everStarted_ = true;
        reader_ = std::jthread([this](const std::stop_token& stop) {
            while (!stop.stop_requested()) {
                const std::string bytes = server_->readFor(20ms);
                if (bytes.empty()) continue;
                std::lock_guard lock(mutex_);
                display_.feed(bytes);
                fed_ += bytes.size();
            }
        });
    }

    // Closes the pseudo-terminal: the serial display's next write fails.
    void stop() {
        if (reader_.joinable()) {
            reader_.request_stop();
            reader_.join();
        }
        server_.reset();
    }

    std::vector<std::string> rows(std::size_t sent) {
        // What was sent may still be on its way through the terminal.
        const auto deadline = std::chrono::steady_clock::now() + 1s;
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (fed_ >= sent || std::chrono::steady_clock::now() > deadline) return display_.rowsText();
            }
            std::this_thread::sleep_for(2ms);
        }
    }

private:
    const model::CommandSet& set_;
    std::string link_;
    std::unique_ptr<emulator::PtyServer> server_;
    std::mutex mutex_;
    emulator::VirtualDisplay display_;
    std::size_t fed_ = 0;
    bool everStarted_ = false;
    std::jthread reader_;  // last: stops before the rest goes
};

LocalTarget::LocalTarget() : folder_(privateFolder()) {
    const serial::WireTap tap = [this](std::string_view device, std::string_view bytes) {
        wire_.append(device, bytes);
    };
    const app::DeviceSetup setup = app::setUpDevicesFromEnvironment(tap);
    problems_ = setup.problems;
    registry_ = std::make_shared<device::DeviceRegistry>();
    registry_->addAll(*setup.registry);
    for (const model::CommandSet& set : model::commandSets()) {
        const std::string name = std::string(virtualPrefix) + std::string(set.name);
        auto line = std::make_unique<VirtualLine>(
            set, (folder_ / ("display-" + std::to_string(lines_.size()))).string());
        VirtualLine* raw = line.get();
        const serial::SerialSettings settings{name, raw->link(), virtualBaud, &set, 2, 20};
        registry_->add(name, [raw, settings, tap] {
            // Started when first opened; after that only unplug and replug switch it.
            if (!raw->everStarted()) raw->start();
            return std::make_unique<serial::SerialDisplay>(settings, nullptr, tap);
        });
        lines_.emplace(name, std::move(line));
    }
    device::registerBuiltInControl(factory_, registry_);
}

LocalTarget::~LocalTarget() {
    lines_.clear();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::unique_ptr<display::Dispatch> LocalTarget::createControl() {
    return factory_.create(display::lineDisplayProgId);
}

std::optional<Screen> LocalTarget::screen(display::Dispatch& control) {
    device::LineDisplayControl* c = builtIn(control);
    if (c == nullptr) return std::nullopt;
    c->waitUntilIdle();
    const std::optional<model::DisplayModel> model = c->shownModel();
    if (!model) return std::nullopt;
    return Screen{model->shownRows(), model->cursorRow(), model->cursorColumn()};
}

void LocalTarget::settle(display::Dispatch& control) {
    if (device::LineDisplayControl* c = builtIn(control)) c->waitUntilIdle();
}

LocalTarget::VirtualLine* LocalTarget::lineOf(std::string_view device) const {
    const auto it = lines_.find(device);
    return it == lines_.end() ? nullptr : it->second.get();
}

bool LocalTarget::canUnplug(std::string_view device) const { return lineOf(device) != nullptr; }

void LocalTarget::unplug(std::string_view device) {
    if (VirtualLine* line = lineOf(device)) line->stop();
}

void LocalTarget::replug(std::string_view device) {
    if (VirtualLine* line = lineOf(device)) line->start();
}

std::vector<std::string> LocalTarget::knownDevices() {
    std::vector<std::string> names;
    names.reserve(model::profiles.size() + model::commandSets().size());
    for (const model::DeviceProfile& profile : model::profiles) names.emplace_back(profile.name);
    for (const model::CommandSet& set : model::commandSets())
        names.push_back(std::string(virtualPrefix) + std::string(set.name));
    return names;
}

std::vector<std::string> LocalTarget::virtualRows(std::string_view device) {
    VirtualLine* line = lineOf(device);
    if (line == nullptr) return {};
    return line->rows(wire_.stream(device).size());
}

}  // namespace run

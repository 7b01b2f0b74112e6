#include "device/Trace.h"

#include "model/Hex.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace device {
namespace {

// UTC to the microsecond, so that lines from two processes sort together.
// Worked out with the calendar of <chrono>, which every platform has.
std::string timestamp() {
    using namespace std::chrono;
    const auto now = floor<microseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()), static_cast<long long>(time.subseconds().count()));
    return text;
}

}  // namespace

Trace::Trace(std::string path) : path_(std::move(path)) {
    file_ = std::fopen(path_.c_str(), "a");
    if (file_ == nullptr) {
        throw std::runtime_error("cannot open the trace file " + path_ + ": " + std::strerror(errno));
    }
}

Trace::~Trace() {
    if (file_ != nullptr) std::fclose(file_);
}

void Trace::call(std::string_view device, std::string_view statement, std::string_view outcome,
    std::chrono::nanoseconds duration) {
    char took[32];
    std::snprintf(took, sizeof took, "  # %.3f ms", static_cast<double>(duration.count()) / 1e6);
    line(device, std::string(statement) + " -> " + std::string(outcome) + took);
}

void Trace::wire(std::string_view device, std::string_view bytes) {
    line(device, "wire " + std::to_string(bytes.size()) + " bytes: " + model::hexBytes(bytes));
}

void Trace::note(std::string_view device, std::string_view text) { line(device, text); }

void Trace::line(std::string_view device, std::string_view text) {
    const std::string whole = timestamp() + " " + std::string(device) + " " + std::string(text) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(whole.data(), 1, whole.size(), file_);
    std::fflush(file_);
}

}  // namespace device

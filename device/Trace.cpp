#include "device/Trace.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace device {
namespace {

// UTC to the microsecond, so that lines from two processes sort together.
std::string timestamp() {
    const auto now = std::chrono::system_clock::now();
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%06lldZ", static_cast<long long>(micros % 1000000));
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

void Trace::call(std::string_view device, std::string_view operation, std::string_view arguments,
                 std::string_view outcome, std::chrono::nanoseconds duration) {
    char took[32];
    std::snprintf(took, sizeof took, " (%.3f ms)", static_cast<double>(duration.count()) / 1e6);
    line(device,
         std::string(operation) + "(" + std::string(arguments) + ") -> " + std::string(outcome) + took);
}

void Trace::wire(std::string_view device, std::string_view bytes) {
    line(device, "wire " + std::to_string(bytes.size()) + " bytes: " + hexBytes(bytes));
}

void Trace::note(std::string_view device, std::string_view text) { line(device, text); }

void Trace::line(std::string_view device, std::string_view text) {
    const std::string whole = timestamp() + " " + std::string(device) + " " + std::string(text) + "\n";
    std::lock_guard lock(mutex_);
    std::fwrite(whole.data(), 1, whole.size(), file_);
    std::fflush(file_);
}

std::string hexBytes(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!hex.empty()) hex += ' ';
        hex += digits[b >> 4];
        hex += digits[b & 0x0F];
    }
    return hex;
}

}  // namespace device

#include "model/Profiles.h"

#include <charconv>
#include <cstdlib>

namespace model {

std::optional<DeviceProfile> findProfile(std::string_view name) {
    for (const auto& profile : profiles) {
        if (profile.name == name) return profile;
    }
    return std::nullopt;
}

std::int32_t nearestBrightness(const DeviceProfile& profile, std::int32_t percent) {
    const auto levels = profile.levels();
    if (!profile.capBrightness || levels.empty()) return percent;
    std::int32_t best = levels.front();
    for (const std::int32_t level : levels) {
        // Levels ascend, so "<=" prefers the higher of two equally near ones.
        if (std::abs(level - percent) <= std::abs(best - percent)) best = level;
    }
    return best;
}

bool listsCharacterSet(const DeviceProfile& profile, std::int32_t characterSet) {
    std::string_view list = profile.characterSetList;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (error == std::errc() && end == item.data() + item.size() && value == characterSet) return true;
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return false;
}

}  // namespace model

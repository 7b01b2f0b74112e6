#include "app/ControlTable.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace app {

const Control* findControl(std::string_view name) {
    // Every label write of every click looks a control up: a hash index made
    // once answers in about one string comparison, where a binary search took
    // seven and was a seventh of a click's own work (bench/click_bench under
    // callgrind).
    static const auto byName = [] {
        std::unordered_map<std::string_view, const Control*> index;
        index.reserve(controls.size());
        for (const Control& c : controls) index.emplace(c.name, &c);
        return index;
    }();
    const auto it = byName.find(name);
    return it != byName.end() ? it->second : nullptr;
}

std::size_t countOf(Kind kind) {
    return static_cast<std::size_t>(
        std::count_if(controls.begin(), controls.end(), [kind](const Control& c) { return c.kind == kind; }));
}

std::string_view kindName(Kind kind) {
    switch (kind) {
    case Kind::CommandButton: return "command button";
    case Kind::Label: return "label";
    case Kind::TextBox: return "text box";
    case Kind::OptionButton: return "option button";
    case Kind::Frame: return "frame";
    case Kind::LineDisplay: return "line display control";
    }
    return "unknown kind";
}

}  // namespace app

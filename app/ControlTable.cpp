#include "app/ControlTable.h"

#include <algorithm>
#include <array>

namespace app {

const Control* findControl(std::string_view name) {
    // Every label write of every click looks a control up: a binary search on
    // an index sorted by name, made once, takes 7 comparisons where a linear
    // search took up to 128 (measured by bench/click_bench).
    static const auto byName = [] {
        std::array<const Control*, controls.size()> index{};
        for (std::size_t i = 0; i < controls.size(); ++i) index[i] = &controls[i];
        std::sort(
            index.begin(), index.end(), [](const Control* a, const Control* b) { return a->name < b->name; });
        return index;
    }();
    const auto it = std::lower_bound(
        byName.begin(), byName.end(), name, [](const Control* c, std::string_view n) { return c->name < n; });
    return it != byName.end() && (*it)->name == name ? *it : nullptr;
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

#include "app/ControlTable.h"

#include <algorithm>

namespace app {

const Control* findControl(std::string_view name) {
    // 128 rows: a linear search is cheaper than any index kept beside them.
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [name](const Control& c) { return c.name == name; });
    return it == controls.end() ? nullptr : &*it;
}

std::size_t countOf(Kind kind) {
    return static_cast<std::size_t>(std::count_if(
        controls.begin(), controls.end(), [kind](const Control& c) { return c.kind == kind; }));
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

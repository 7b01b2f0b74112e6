// The display operations: the changes an application's calls make to what a
// line display shows, as plain values in the order they were made. The
// control object produces them once a call is legal; service objects carry
// them out on their device; applyTo carries one out on a display model.
//
// Values and one pure function; safe from any thread.
#pragma once

#include "model/DisplayModel.h"

#include <cstdint>
#include <string>
#include <variant>

namespace model {

namespace op {
struct Text {  // DisplayModel::writeText
    std::u32string text;
    std::int32_t attribute = attribute::normal;
    bool cursorUpdate = true;
};
struct Clear {};  // DisplayModel::clearWindow
struct SetCursor {
    std::int32_t row = 0;
    std::int32_t column = 0;
};
struct CreateWindow {
    WindowGeometry geometry;
    std::int32_t cursorType = 0;
};
struct DestroyWindow {};
struct SelectWindow {
    std::int32_t window = 0;
};
struct Brightness {
    std::int32_t percent = 100;
};
struct CursorType {
    std::int32_t type = 0;
};
struct CharacterSet {
    std::int32_t characterSet = 0;
};
}  // namespace op

using DisplayOp = std::variant<op::Text, op::Clear, op::SetCursor, op::CreateWindow, op::DestroyWindow,
    op::SelectWindow, op::Brightness, op::CursorType, op::CharacterSet>;

// Applies one operation to a model; the operation must be legal for it.
void applyTo(DisplayModel& model, const DisplayOp& operation);

}  // namespace model

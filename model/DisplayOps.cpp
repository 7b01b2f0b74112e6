#include "model/DisplayOps.h"

namespace model {

void applyTo(DisplayModel& model, const DisplayOp& operation) {
    struct Visitor {
        DisplayModel& m;
        void operator()(const op::Text& o) { m.writeText(o.text, o.attribute, o.cursorUpdate); }
        void operator()(const op::Clear&) { m.clearWindow(); }
        void operator()(const op::SetCursor& o) { m.setCursor(o.row, o.column); }
        void operator()(const op::CreateWindow& o) { m.createWindow(o.geometry, o.cursorType); }
        void operator()(const op::DestroyWindow&) { m.destroyWindow(); }
        void operator()(const op::SelectWindow& o) { m.selectWindow(o.window); }
        void operator()(const op::Brightness& o) { m.setBrightness(o.percent); }
        void operator()(const op::CursorType& o) { m.setCursorType(o.type); }
        void operator()(const op::CharacterSet& o) { m.setCharacterSet(o.characterSet); }
    };
    std::visit(Visitor{model}, operation);
}

}  // namespace model

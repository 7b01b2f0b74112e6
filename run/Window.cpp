#include "run/Window.h"

#include "display/Conversions.h"
#include "model/Utf.h"

namespace run {

Window::Window() {
    for (std::size_t i = 0; i < app::controls.size(); ++i) {
        states_[i].text = model::utf16(app::controls[i].caption);
        states_[i].selected = app::controls[i].selected;
    }
}

Window::State& Window::at(std::string_view name, app::Kind kind) {
    const app::Control* c = app::findControl(name);
    if (c == nullptr || c->kind != kind) {
        throw commands::FormError(
            "no " + std::string(app::kindName(kind)) + " named " + std::string(name) + " in the window");
    }
    return states_[static_cast<std::size_t>(c - app::controls.data())];
}

void Window::type(std::string_view textBox, std::u16string text) {
    at(textBox, app::Kind::TextBox).text = std::move(text);
}

void Window::select(std::string_view optionButton) {
    State& chosen = at(optionButton, app::Kind::OptionButton);
    const std::string_view container = app::findControl(optionButton)->container;
    for (std::size_t i = 0; i < app::controls.size(); ++i) {
        if (app::controls[i].kind == app::Kind::OptionButton && app::controls[i].container == container)
            states_[i].selected = false;
    }
    chosen.selected = true;
}

std::u16string Window::label(std::string_view name) { return at(name, app::Kind::Label).text; }

std::u16string Window::text(std::string_view textBox) { return at(textBox, app::Kind::TextBox).text; }

bool Window::isSelected(std::string_view optionButton) {
    return at(optionButton, app::Kind::OptionButton).selected;
}

std::u16string Window::caption(std::string_view optionButton) {
    return at(optionButton, app::Kind::OptionButton).text;
}

void Window::setCaption(std::string_view label, std::u16string_view caption) {
    at(label, app::Kind::Label).text = std::u16string(caption);
}

}  // namespace run

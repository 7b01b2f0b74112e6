// The window as the click handlers see it: four operations, by control name.
//
// The real Qt window and the in-memory form of the tests both implement it,
// from the same control table. A name that is not a control of the right
// kind is a FormError. Used from the window's one thread.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace commands {

// Access to a control that does not exist or is of another kind.
class FormError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Form {
public:
    virtual ~Form() = default;
    // The text a text box holds now, unchanged.
    virtual std::u16string text(std::string_view textBox) = 0;
    // Whether an option button is selected.
    virtual bool isSelected(std::string_view optionButton) = 0;
    // An option button's caption.
    virtual std::u16string caption(std::string_view optionButton) = 0;
    // Replaces a label's whole caption.
    virtual void setCaption(std::string_view label, std::u16string_view caption) = 0;
};

}  // namespace commands

// Step1: the console's one window, in Qt Widgets.
//
// The window is built entirely from the control table: every control at its
// place and size (twips turned into pixels at the screen's logical density),
// with its caption or initial text, tab order and initial selection. It owns
// the Line Display control instance and offers the click handlers their Form
// face by control name. Every button click runs its handler inside the
// program's one default handling of unhandled errors: a failure ends the click
// and is reported, and the window goes on. Nothing is called on the control
// when the window is created or destroyed. GUI thread only.
#pragma once

#include "app/ControlTable.h"
#include "commands/Form.h"
#include "display/OPOSLineDisplay.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string_view>

namespace app::qt {

// Shows one failed click to the user. `line` names the button by its caption
// and says what failed and why, e.g. "Open" failed: <reason>.
using ErrorReporter = std::function<void(QWidget& window, const QString& line)>;

// The program's reporter: a critical message box over the window.
void showErrorBox(QWidget& window, const QString& line);

// The window's default font, used by every control.
QFont windowFont();

class Step1 final : public QWidget, public commands::Form {
public:
    // Builds the window around its control instance; does not show it and
    // makes no call on the control. Each failed click goes to `reporter` (and
    // its line to standard error).
    explicit Step1(std::unique_ptr<display::OPOSLineDisplay> control, ErrorReporter reporter = showErrorBox,
        QWidget* parent = nullptr);
    ~Step1() override;

    // Runs the named button's click handler inside the default handling of
    // unhandled errors; what a click of the button does.
    void clickButton(std::string_view button);

    // The widget made for a control row (nullptr for the control instance or
    // an unknown name).
    QWidget* widget(std::string_view name) const;

    // commands::Form
    std::u16string text(std::string_view textBox) override;
    bool isSelected(std::string_view optionButton) override;
    std::u16string caption(std::string_view optionButton) override;
    void setCaption(std::string_view label, std::u16string_view caption) override;

private:
    QWidget* widgetOf(std::string_view name, Kind kind) const;

    std::unique_ptr<display::OPOSLineDisplay> control_;
    ErrorReporter reporter_;
    std::array<QWidget*, controls.size()> widgets_{};  // by row of the control table
};

}  // namespace app::qt

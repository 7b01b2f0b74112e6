// Step1: the console's one window in plain Win32 controls, for Windows.
//
// Built entirely from the control table, like the Qt window: push buttons,
// static labels, edit boxes, auto radio buttons and group boxes, each at its
// place and size (twips turned into pixels at the window's density), with
// its caption or initial text and initial selection. Group boxes are drawn
// frames, not containers: every control is a child of the window, placed
// through its frames, created in tab order (Win32's tab order is the
// creation order), with WS_GROUP starting each frame's set of option buttons
// so that selecting one clears only its own set. The window has a fixed
// single border, the system menu and close box only, and the title ".".
// Every button click runs its handler inside the one default handling of
// unhandled errors (app::runClick); a failure is reported to standard error
// and to the reporter, a message box titled "Project1" in the program.
// Nothing is called on the control when the window is created or destroyed.
// The window's thread only.
#pragma once

#include "app/ControlTable.h"
#include "commands/Form.h"
#include "display/OPOSLineDisplay.h"

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace app::win32 {

// The window class name, for finding the window from another program.
inline constexpr wchar_t windowClassName[] = L"LineDisplayTestStep1";

// Shows one failed click: `line` names the button and says what failed.
using ErrorReporter = std::function<void(HWND window, const std::string& line)>;

// The program's reporter: an error message box titled "Project1".
void showErrorBox(HWND window, const std::string& line);

class Step1 final : public commands::Form {
public:
    // Creates the window (hidden) around its control instance; makes no call
    // on the control. Throws std::runtime_error if Windows refuses a window.
    explicit Step1(std::unique_ptr<display::OPOSLineDisplay> control, ErrorReporter reporter = showErrorBox);
    ~Step1() override;
    Step1(const Step1&) = delete;
    Step1& operator=(const Step1&) = delete;

    HWND handle() const { return window_; }
    // The child window made for a control row (nullptr for the control
    // instance or an unknown name).
    HWND child(std::string_view name) const;
    // The density the window was laid out at, in dots per inch.
    int dotsPerInch() const { return dpi_; }

    // What a click of the named button does.
    void clickButton(std::string_view button);
    // Called once when the window has been destroyed (closed by the user).
    void onDestroyed(std::function<void()> callback) { destroyed_ = std::move(callback); }

    // commands::Form
    std::u16string text(std::string_view textBox) override;
    bool isSelected(std::string_view optionButton) override;
    std::u16string caption(std::string_view optionButton) override;
    void setCaption(std::string_view label, std::u16string_view caption) override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND childOf(std::string_view name, Kind kind) const;
    std::u16string windowText(HWND window) const;

    std::unique_ptr<display::OPOSLineDisplay> control_;
    ErrorReporter reporter_;
    std::function<void()> destroyed_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    std::array<HWND, controls.size()> children_{};  // by row of the control table
};

}  // namespace app::win32

// TQN730Test.exe: start-up of the console on Windows.
//
// Composes the layers as app/main.cpp does on Linux, with the control
// object reached through COM: COM is initialised apartment-threaded on this
// (the window's) thread, the control is created from its ProgID, and the
// Win32 window Step1 is shown around it. When the control cannot be created
// (not installed, or of the other bitness) the window still opens, and a
// message box and standard error say why; each click then reports it too.
// Reads no command line, settings or environment of its own.
#include "app/Console.h"
#include "app/win32/Step1.h"
#include "display/com/ComDispatch.h"
#include "display/com/ComVariant.h"

#include <windows.h>

#include <exception>
#include <iostream>
#include <memory>
#include <optional>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    // The layout is in twips: let the window be laid out at the screen's
    // real density instead of being scaled as a bitmap.
    ::SetProcessDPIAware();

    std::optional<display::com::ApartmentScope> apartment;
    std::string comProblem;
    try {
        apartment.emplace();
    } catch (const std::exception& e) {
        comProblem = e.what();
    }

    display::ControlFactory factory;
    if (comProblem.empty()) display::com::registerComControl(factory);
    app::StartedControl started = app::startControl(factory);
    if (!comProblem.empty()) started.problem += " (" + comProblem + ")";

    try {
        app::win32::Step1 window(std::move(started.control));
        window.onDestroyed([] { ::PostQuitMessage(0); });
        ::ShowWindow(window.handle(), showCommand);
        ::UpdateWindow(window.handle());
        if (!started.problem.empty()) {
            std::cerr << started.problem << std::endl;
            ::MessageBoxW(window.handle(), display::com::wide(started.problem).c_str(), L"Project1",
                MB_OK | MB_ICONWARNING);
        }
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            // Tab, arrow keys and Enter move between the controls as in a dialog.
            if (window.handle() && ::IsDialogMessageW(window.handle(), &message)) continue;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (const std::exception& e) {
        std::cerr << "TQN730Test: " << e.what() << std::endl;
        ::MessageBoxW(nullptr, display::com::wide(e.what()).c_str(), L"Project1", MB_OK | MB_ICONERROR);
        return 1;
    }
}

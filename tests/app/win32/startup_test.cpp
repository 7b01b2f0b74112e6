// TQN730Test.exe started on a machine where no Line Display control is
// registered: standard error and a message box say so clearly, the window
// opens anyway, a click reports why it cannot work, and the window closes
// normally. Runs the real program; must run before the stand-in is
// registered in the prefix.
#include "app/ControlTable.h"
#include "display/OPOSLineDisplay.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));
    return out;
}

// A top-level window by class and title, waiting for it up to 20 s.
HWND waitForWindow(const wchar_t* className, const wchar_t* title, HWND after = nullptr) {
    for (int i = 0; i < 400; ++i) {
        if (HWND found = ::FindWindowExW(nullptr, after, className, title)) return found;
        ::Sleep(50);
    }
    return nullptr;
}

// All the static text in a message box.
std::string boxText(HWND box) {
    std::string text;
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[32] = {}, caption[1024] = {};
        ::GetClassNameW(c, name, 32);
        ::GetWindowTextW(c, caption, 1024);
        if (std::wstring(name) == L"Static") text += narrow(caption);
    }
    return text;
}

HWND waitForBoxWith(const std::string& words) {
    for (int i = 0; i < 400; ++i) {
        for (HWND box = ::FindWindowW(L"#32770", L"Project1"); box;
             box = ::FindWindowExW(nullptr, box, L"#32770", L"Project1"))
            if (boxText(box).find(words) != std::string::npos) return box;
        ::Sleep(50);
    }
    return nullptr;
}

std::wstring programPath() {
    std::wstring path = L"Z:";
    for (const char ch : std::string(TQN730TEST_PATH))
        path.push_back(ch == '/' ? L'\\' : static_cast<wchar_t>(ch));
    return path;
}

}  // namespace

TEST(StartupWithoutControl, saysSoClearlyAndTheWindowStillOpens) {
    CLSID clsid;
    ASSERT_FALSE(SUCCEEDED(::CLSIDFromProgID(L"OposLineDisplay_1_7_LibCtl.OPOSLineDisplay", &clsid)))
        << "the stand-in is registered in this prefix already; this test must run before it is";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16));
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    startup.hStdOutput = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + programPath() + L"\"";
    ASSERT_TRUE(::CreateProcessW(
        nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        << "could not start " << TQN730TEST_PATH;
    ::CloseHandle(writeEnd);

    const std::string expected =
        "The Line Display control could not be started: the control object " +
        std::string(display::lineDisplayProgId) +
        " could not be created: no control is registered under this ProgID on this machine";
    const HWND box = waitForBoxWith(expected);
    const HWND window = waitForWindow(L"LineDisplayTestStep1", L".");
    EXPECT_NE(box, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));
    if (box) ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);

    // A click says why nothing can work, and the window goes on.
    const auto open = static_cast<int>(app::findControl("Command2") - app::controls.data()) + 1000;
    ::PostMessageW(::GetDlgItem(window, open), BM_CLICK, 0, 0);
    const HWND failed = waitForBoxWith("\"Open\" failed: the Line Display control object is not available");
    EXPECT_NE(failed, nullptr);
    if (failed) ::SendMessageW(::GetDlgItem(failed, IDOK), BM_CLICK, 0, 0);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);

    std::string err;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) err.append(buffer, got);
    EXPECT_NE(err.find(expected), std::string::npos) << err;
    EXPECT_NE(err.find("\"Open\" failed: "), std::string::npos) << err;
    ::CloseHandle(readEnd);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

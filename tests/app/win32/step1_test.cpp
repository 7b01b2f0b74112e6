// The Win32 window as a technician meets it: every control from the table
// at its place with its caption, option sets that clear only their own
// frame, the tab order, and the typical road clicked through real button
// messages on the stand-in COM server (registered in the test prefix).
#include "app/win32/Step1.h"
#include "app/Console.h"
#include "display/com/ComDispatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::Control;
using app::Kind;

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

std::string textOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    std::string out;
    for (const wchar_t* p = text; *p; ++p) out.push_back(static_cast<char>(*p));
    return out;
}

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override {
        display::ControlFactory factory;
        display::com::registerComControl(factory);
        auto started = app::startControl(factory);
        ASSERT_EQ(started.problem, "");
        window = std::make_unique<app::win32::Step1>(
            std::move(started.control), [this](HWND, const std::string& line) { reported.push_back(line); });
        ::ShowWindow(window->handle(), SW_SHOWNOACTIVATE);
    }
    void click(const char* name) { ::SendMessageW(window->child(name), BM_CLICK, 0, 0); }
    std::string label(const char* name) { return textOf(window->child(name)); }
    bool checked(const char* name) {
        return ::SendMessageW(window->child(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    display::com::ApartmentScope apartment;
    std::vector<std::string> reported;
    std::unique_ptr<app::win32::Step1> window;
};

}  // namespace

TEST_F(Win32Window, isBuiltFromTheControlTable) {
    const HWND main = window->handle();
    EXPECT_EQ(textOf(main), ".");
    const LONG_PTR style = ::GetWindowLongPtrW(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    const int dpi = window->dotsPerInch();
    RECT client;
    ::GetClientRect(main, &client);
    EXPECT_EQ(client.right, app::twipsToPixels(app::window.clientWidth, dpi));
    EXPECT_EQ(client.bottom, app::twipsToPixels(app::window.clientHeight, dpi));

    for (const Control& c : app::controls) {
        SCOPED_TRACE(std::string(c.name));
        const HWND child = window->child(c.name);
        if (c.kind == Kind::LineDisplay) {
            EXPECT_EQ(child, nullptr);
            continue;
        }
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(::GetParent(child), main);
        EXPECT_EQ(textOf(child), std::string(c.caption));
        const LONG_PTR type = ::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
        switch (c.kind) {
        case Kind::CommandButton:
            EXPECT_EQ(classOf(child), L"Button");
            EXPECT_EQ(type, BS_PUSHBUTTON);
            break;
        case Kind::OptionButton:
            EXPECT_EQ(classOf(child), L"Button");
            EXPECT_EQ(type, BS_AUTORADIOBUTTON);
            EXPECT_EQ(checked(std::string(c.name).c_str()), c.selected);
            break;
        case Kind::Frame:
            EXPECT_EQ(classOf(child), L"Button");
            EXPECT_EQ(type, BS_GROUPBOX);
            break;
        case Kind::Label: EXPECT_EQ(classOf(child), L"Static"); break;
        case Kind::TextBox: EXPECT_EQ(classOf(child), L"Edit"); break;
        case Kind::LineDisplay: break;
        }
        RECT r;
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(HWND_DESKTOP, main, reinterpret_cast<POINT*>(&r), 2);
        const app::PixelRect want = app::windowPixelRect(c, dpi);
        EXPECT_EQ(r.left, want.x);
        EXPECT_EQ(r.top, want.y);
        EXPECT_EQ(r.right - r.left, want.width);
        EXPECT_EQ(r.bottom - r.top, want.height);
    }
}

TEST_F(Win32Window, tabOrderIsTheTablesAndOptionSetsClearOnlyTheirOwnFrame) {
    std::vector<std::string> walked;
    for (HWND c = ::GetWindow(window->handle(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::GetWindowLongPtrW(c, GWL_STYLE) & WS_TABSTOP)
            walked.push_back(
                std::string(app::controls[static_cast<std::size_t>(::GetDlgCtrlID(c) - 1000)].name));
    std::vector<std::string> wanted;
    for (const Control* c : app::focusOrder()) wanted.emplace_back(c->name);
    EXPECT_EQ(walked, wanted);

    click("Option4");
    EXPECT_TRUE(checked("Option4"));
    EXPECT_FALSE(checked("Option3"));
    EXPECT_TRUE(checked("Option7"));
    EXPECT_TRUE(checked("Option2"));
    click("Option1");
    EXPECT_TRUE(checked("Option1"));
    EXPECT_FALSE(checked("Option2"));
    EXPECT_TRUE(checked("Option4"));
    EXPECT_TRUE(window->isSelected("Option1"));
    EXPECT_EQ(window->caption("Option1"), u"DM-D202");
}

TEST_F(Win32Window, theTypicalRoadEndsInSuccessOnTheStandInServer) {
    ::SetWindowTextW(window->child("Text4"), L"Hello from Win32");
    click("Command2");
    EXPECT_EQ(label("Label1"), "OPOS_SUCCESS");
    click("Command3");
    click("Command4");
    click("Command8");
    EXPECT_EQ(label("Label4"), "True");
    click("Command7");
    click("Command49");
    EXPECT_EQ(label("Label1"), "OPOS_SUCCESS");
    EXPECT_EQ(label("Label34"), "0");
    click("Command1");
    click("cmdExit");
    click("Command52");
    EXPECT_EQ(label("Label38"), "1");
    EXPECT_EQ(reported, std::vector<std::string>{});
}

TEST_F(Win32Window, aFailingClickIsReportedAndChangesNothing) {
    click("Command2");
    ::SetWindowTextW(window->child("Text6"), L"abc");
    const std::string before = label("Label11");
    click("Command15");
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].rfind("\"Inter Character Wait\" failed: ", 0), 0u) << reported[0];
    EXPECT_NE(reported[0].find("\"abc\""), std::string::npos) << reported[0];
    EXPECT_EQ(label("Label11"), before);
    click("cmdExit");
}

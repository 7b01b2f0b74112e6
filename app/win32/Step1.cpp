#include "app/win32/Step1.h"

#include "app/Console.h"
#include "display/com/ComVariant.h"

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <vector>

namespace app::win32 {
namespace {

// Child control IDs: the row of the control table plus this base.
constexpr int firstChildId = 1000;

void registerWindowClass(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window once it exists
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = windowClassName;
        return ::RegisterClassExW(&wc) != 0;
    }();
    if (!registered) throw std::runtime_error("the window class could not be registered");
}

// Window class and styles of one control kind.
struct ChildStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ChildStyle styleOf(Kind kind) {
    switch (kind) {
    case Kind::CommandButton: return {L"BUTTON", BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP | WS_GROUP, 0};
    // Results are shown as they come: no '&' mnemonics, one clipped line.
    case Kind::Label: return {L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX | WS_GROUP, 0};
    case Kind::TextBox: return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE};
    case Kind::OptionButton: return {L"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
    case Kind::Frame: return {L"BUTTON", BS_GROUPBOX | WS_GROUP, 0};
    case Kind::LineDisplay: break;
    }
    return {nullptr, 0, 0};
}

}  // namespace

void showErrorBox(HWND window, const std::string& line) {
    ::MessageBoxW(window, display::com::wide(line).c_str(), L"Project1", MB_OK | MB_ICONERROR);
}

Step1::Step1(std::unique_ptr<display::OPOSLineDisplay> control, ErrorReporter reporter)
    : control_(std::move(control)), reporter_(std::move(reporter)) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerWindowClass(instance);

    const HDC screen = ::GetDC(nullptr);
    dpi_ = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    const auto px = [this](int twips) { return twipsToPixels(twips, dpi_); };

    // Fixed single border, system menu and close box, no minimise or maximise
    // box; the client area has the table's size, at the table's place.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, px(app::window.clientWidth), px(app::window.clientHeight)};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    window_ = ::CreateWindowExW(0, windowClassName, display::com::wide(app::window.title).c_str(), style,
        px(app::window.startLeft) + frame.left, px(app::window.startTop) + frame.top,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!window_) throw std::runtime_error("Windows refused to create the console window");
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Step1::windowProc));

    // 8-point MS Sans Serif, the dialog face the layout's captions were sized
    // for (Tahoma is wider: "Toggle Cursor Update" would not fit its button).
    font_ = ::CreateFontW(-::MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");

    // Creation order is tab order. Option buttons of one frame follow one
    // another in tab index, so WS_GROUP on the first of each run (and on
    // every other control) bounds each set.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i].kind != Kind::LineDisplay) order.push_back(i);
    std::sort(order.begin(), order.end(),
        [](std::size_t a, std::size_t b) { return controls[a].tabIndex < controls[b].tabIndex; });
    const Control* previous = nullptr;
    for (const std::size_t i : order) {
        const Control& c = controls[i];
        ChildStyle cs = styleOf(c.kind);
        if (c.kind == Kind::OptionButton &&
            !(previous && previous->kind == Kind::OptionButton && previous->container == c.container))
            cs.style |= WS_GROUP;
        // A control on the window itself is clipped by the frames over it
        // (so a frame hides what lies under it); a frame's own controls
        // are drawn over their frame.
        if (c.container == app::window.name && c.kind != Kind::Frame) cs.style |= WS_CLIPSIBLINGS;
        const PixelRect r = windowPixelRect(c, dpi_);
        HWND child = ::CreateWindowExW(cs.exStyle, cs.className, display::com::wide(c.caption).c_str(),
            WS_CHILD | WS_VISIBLE | cs.style, r.x, r.y, r.width, r.height, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(firstChildId + i)), instance, nullptr);
        if (!child) throw std::runtime_error("Windows refused to create the control " + std::string(c.name));
        if (font_) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (c.kind == Kind::OptionButton && c.selected) ::SendMessageW(child, BM_SETCHECK, BST_CHECKED, 0);
        if (c.kind == Kind::TextBox) ::SendMessageW(child, EM_SETLIMITTEXT, 0, 0);  // no length limit
        children_[i] = child;
        previous = &c;
    }
    ::SetFocus(child("cmdExit"));
}

Step1::~Step1() {
    if (window_) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    if (font_) ::DeleteObject(font_);
}

HWND Step1::child(std::string_view name) const {
    const Control* row = findControl(name);
    return row ? children_[static_cast<std::size_t>(row - controls.data())] : nullptr;
}

HWND Step1::childOf(std::string_view name, Kind kind) const {
    const Control* row = findControl(name);
    if (!row || row->kind != kind)
        throw commands::FormError(
            "the window has no " + std::string(kindName(kind)) + " named " + std::string(name));
    return children_[static_cast<std::size_t>(row - controls.data())];
}

std::u16string Step1::windowText(HWND window) const {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return std::u16string(text.begin(), text.end());
}

std::u16string Step1::text(std::string_view textBox) { return windowText(childOf(textBox, Kind::TextBox)); }

bool Step1::isSelected(std::string_view optionButton) {
    return ::SendMessageW(childOf(optionButton, Kind::OptionButton), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::u16string Step1::caption(std::string_view optionButton) {
    return windowText(childOf(optionButton, Kind::OptionButton));
}

void Step1::setCaption(std::string_view label, std::u16string_view caption) {
    const std::wstring text(caption.begin(), caption.end());
    ::SetWindowTextW(childOf(label, Kind::Label), text.c_str());
}

void Step1::clickButton(std::string_view button) {
    if (const auto line = runClick(button, *this, *control_)) {
        std::cerr << *line << std::endl;
        if (reporter_) reporter_(window_, *line);
    }
}

LRESULT CALLBACK Step1::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Step1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    return self->onMessage(window, message, wParam, lParam);
}

LRESULT Step1::onMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            const int id = LOWORD(wParam) - firstChildId;
            if (id >= 0 && static_cast<std::size_t>(id) < controls.size() &&
                controls[static_cast<std::size_t>(id)].kind == Kind::CommandButton)
                clickButton(controls[static_cast<std::size_t>(id)].name);
            return 0;
        }
        break;
    case WM_DESTROY:
        window_ = nullptr;
        if (destroyed_) destroyed_();
        return 0;
    default: break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace app::win32

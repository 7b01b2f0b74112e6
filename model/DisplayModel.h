// The display model: what a line display shows and where its cursor is.
//
// Cells with a character and an attribute, window 0 (the whole device) and
// further windows, each with its viewport, buffer and cursor, plus the
// device-wide brightness and character set. It applies the text rules of
// the Line Display class: wrapping, scrolling at the last cell, CursorUpdate,
// clearing, window creation and destruction. It is shared by the control
// object (what the application has written), the simulated display and the
// serial displays' shadow of the device, so it knows nothing of result codes,
// claims or threads: callers check arguments first (the fits* helpers say
// what is legal). A plain value type; not thread-safe by itself.
//
// What the device shows is a frame of device cells: a write into a window
// lands in its buffer and in the device cells under its viewport, so when a
// window is destroyed the device keeps showing what was last written there,
// as a display without compositing does. A window larger than its viewport
// shows its top-left part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// Display attributes, as DisplayText takes them.
namespace attribute {
inline constexpr std::int32_t normal = 0, blink = 1, reverse = 2, blinkReverse = 3;
}

struct Cell {
    char32_t character = U' ';
    std::int32_t attribute = attribute::normal;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// A window: its viewport on the device and the size of its buffer.
struct WindowGeometry {
    std::int32_t viewportRow = 0;
    std::int32_t viewportColumn = 0;
    std::int32_t viewportHeight = 0;
    std::int32_t viewportWidth = 0;
    std::int32_t height = 0;
    std::int32_t width = 0;
    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

class DisplayModel {
public:
    DisplayModel() : DisplayModel(0, 0) {}
    // A blank device of this size with window 0 current, cursor at (0,0).
    DisplayModel(std::int32_t rows, std::int32_t columns);

    std::int32_t deviceRows() const { return rows_; }
    std::int32_t deviceColumns() const { return columns_; }

    // Windows: 0 is the device window. A window keeps its number until it is
    // destroyed; the count of existing windows includes window 0.
    std::int32_t windowCount() const;
    bool hasWindow(std::int32_t window) const;
    std::int32_t currentWindow() const { return current_; }
    const WindowGeometry& geometry(std::int32_t window) const { return existing(window).geometry; }
    // Whether a new window with this geometry is legal on this device: a
    // viewport inside the device, sizes above 0, a buffer no smaller than its
    // viewport and not larger in both directions.
    bool fitsDevice(const WindowGeometry& geometry) const;
    // Adds a blank window with its cursor at (0,0) under the lowest free
    // number and makes it current; requires fitsDevice. Returns its number.
    std::int32_t createWindow(const WindowGeometry& geometry, std::int32_t cursorType);
    // Destroys the current window (never 0) and makes window 0 current; the
    // device cells keep what they show.
    void destroyWindow();
    // Makes an existing window current (by its number).
    void selectWindow(std::int32_t window);

    // The current window's size, cursor and cursor type.
    std::int32_t rows() const { return window().geometry.height; }
    std::int32_t columns() const { return window().geometry.width; }
    std::int32_t cursorRow() const { return window().cursorRow; }
    std::int32_t cursorColumn() const { return window().cursorColumn; }
    std::int32_t cursorType() const { return window().cursorType; }
    // Whether a cursor position is legal: row 0..rows-1, column 0..columns
    // (columns = just past the end of the row).
    bool fitsCursor(std::int32_t row, std::int32_t column) const;
    // Moves the current window's cursor; requires fitsCursor.
    void setCursor(std::int32_t row, std::int32_t column);
    void setCursorType(std::int32_t type) { window().cursorType = type; }

    // Writes text at the cursor of the current window: along the row, wrapping
    // to the next, scrolling the window up one row when characters remain
    // after the last cell. With cursorUpdate the cursor ends after the last
    // character, otherwise it stays where it was.
    void writeText(std::u32string_view text, std::int32_t attribute, bool cursorUpdate);
    // Fills the current window with blanks and puts its cursor at (0,0).
    void clearWindow();

    std::int32_t brightness() const { return brightness_; }
    void setBrightness(std::int32_t percent) { brightness_ = percent; }
    std::int32_t characterSet() const { return characterSet_; }
    void setCharacterSet(std::int32_t characterSet) { characterSet_ = characterSet; }

    // What the device shows: one cell per device position.
    const Cell& shownCell(std::int32_t row, std::int32_t column) const;
    // Makes the device show something else at one position than what was
    // written there (a character it has no room for, say); the windows'
    // buffers keep what was written.
    void replaceShownCell(std::int32_t row, std::int32_t column, Cell cell);
    // The device's rows as text (attributes dropped), as UTF-16.
    std::vector<std::u16string> shownRows() const;
    // The content of a window's buffer, row by row (for marquee-sized windows
    // and tests).
    std::vector<std::u32string> windowRows(std::int32_t window) const;

    friend bool operator==(const DisplayModel&, const DisplayModel&) = default;

private:
    struct Window {
        WindowGeometry geometry;
        std::vector<Cell> cells;  // height x width, row-major
        std::int32_t cursorRow = 0;
        std::int32_t cursorColumn = 0;
        std::int32_t cursorType = 0;
        friend bool operator==(const Window&, const Window&) = default;
    };

    Window& window() { return *windows_[static_cast<std::size_t>(current_)]; }
    const Window& window() const { return *windows_[static_cast<std::size_t>(current_)]; }
    const Window& existing(std::int32_t window) const;
    void put(Window& w, std::int32_t row, std::int32_t column, Cell cell);
    void scrollUp(Window& w);
    void redrawViewport(const Window& w);

    std::int32_t rows_;
    std::int32_t columns_;
    std::vector<Cell> shown_;                     // rows_ x columns_
    std::vector<std::optional<Window>> windows_;  // indexed by window number; empty = free
    std::int32_t current_ = 0;
    std::int32_t brightness_ = 100;
    std::int32_t characterSet_ = 0;
};

}  // namespace model

#include "model/DisplayModel.h"

#include "model/Utf.h"

#include <algorithm>
#include <stdexcept>

namespace model {

DisplayModel::DisplayModel(std::int32_t rows, std::int32_t columns)
    : rows_(rows), columns_(columns), shown_(static_cast<std::size_t>(rows * columns)) {
    Window device;
    device.geometry = {0, 0, rows, columns, rows, columns};
    device.cells.resize(shown_.size());
    windows_.emplace_back(std::move(device));
}

bool DisplayModel::fitsDevice(const WindowGeometry& g) const {
    if (g.viewportHeight <= 0 || g.viewportWidth <= 0 || g.height <= 0 || g.width <= 0) return false;
    if (g.viewportRow < 0 || g.viewportColumn < 0) return false;
    // Compare as differences so that huge values cannot overflow.
    if (g.viewportRow > rows_ - g.viewportHeight || g.viewportColumn > columns_ - g.viewportWidth)
        return false;
    if (g.height < g.viewportHeight || g.width < g.viewportWidth) return false;
    // A marquee window scrolls in one direction only.
    if (g.height > g.viewportHeight && g.width > g.viewportWidth) return false;
    // Keep buffers within reason: a window's cell count must stay small enough
    // to allocate; a marquee window holds a few screens of text, not millions.
    constexpr std::int64_t maxCells = 1 << 16;
    return static_cast<std::int64_t>(g.height) * g.width <= maxCells;
}

std::int32_t DisplayModel::windowCount() const {
    return static_cast<std::int32_t>(
        std::count_if(windows_.begin(), windows_.end(), [](const auto& w) { return w.has_value(); }));
}

bool DisplayModel::hasWindow(std::int32_t window) const {
    return window >= 0 && static_cast<std::size_t>(window) < windows_.size() &&
           windows_[static_cast<std::size_t>(window)].has_value();
}

const DisplayModel::Window& DisplayModel::existing(std::int32_t window) const {
    if (!hasWindow(window)) throw std::out_of_range("no such window");
    return *windows_[static_cast<std::size_t>(window)];
}

std::int32_t DisplayModel::createWindow(const WindowGeometry& geometry, std::int32_t cursorType) {
    if (!fitsDevice(geometry)) throw std::invalid_argument("window geometry does not fit the device");
    Window w;
    w.geometry = geometry;
    w.cells.resize(static_cast<std::size_t>(geometry.height * geometry.width));
    w.cursorType = cursorType;
    // Numbers are what the application holds on to, so a window keeps its
    // own and a destroyed window's number is the first to be given again.
    const auto free =
        std::find_if(windows_.begin() + 1, windows_.end(), [](const auto& slot) { return !slot; });
    const auto number = static_cast<std::int32_t>(free - windows_.begin());
    if (free == windows_.end()) {
        windows_.emplace_back(std::move(w));
    } else {
        *free = std::move(w);
    }
    current_ = number;
    // A new window starts blank, and so does the part of the device it covers.
    redrawViewport(window());
    return current_;
}

void DisplayModel::destroyWindow() {
    if (current_ == 0) throw std::logic_error("window 0 cannot be destroyed");
    windows_[static_cast<std::size_t>(current_)].reset();
    // Free numbers at the end are dropped, so that two models with the same
    // windows compare equal whatever their history.
    while (windows_.size() > 1 && !windows_.back()) windows_.pop_back();
    current_ = 0;
}

void DisplayModel::selectWindow(std::int32_t window) {
    if (!hasWindow(window)) throw std::out_of_range("no such window");
    current_ = window;
}

bool DisplayModel::fitsCursor(std::int32_t row, std::int32_t column) const {
    return row >= 0 && row < rows() && column >= 0 && column <= columns();
}

void DisplayModel::setCursor(std::int32_t row, std::int32_t column) {
    if (!fitsCursor(row, column)) throw std::out_of_range("cursor outside the window");
    window().cursorRow = row;
    window().cursorColumn = column;
}

void DisplayModel::writeText(std::u32string_view text, std::int32_t attr, bool cursorUpdate) {
    Window& w = window();
    const std::int32_t savedRow = w.cursorRow;
    const std::int32_t savedColumn = w.cursorColumn;
    std::int32_t row = w.cursorRow;
    std::int32_t column = w.cursorColumn;
    for (char32_t ch : text) {
        // The cursor may rest just past the end of a row; only a further
        // character wraps, and past the last row it scrolls.
        if (column >= w.geometry.width) {
            column = 0;
            if (row + 1 < w.geometry.height) {
                ++row;
            } else {
                scrollUp(w);
            }
        }
        put(w, row, column, Cell{ch, attr});
        ++column;
    }
    if (cursorUpdate) {
        w.cursorRow = row;
        w.cursorColumn = column;
    } else {
        w.cursorRow = savedRow;
        w.cursorColumn = savedColumn;
    }
}

void DisplayModel::clearWindow() {
    Window& w = window();
    std::fill(w.cells.begin(), w.cells.end(), Cell{});
    w.cursorRow = 0;
    w.cursorColumn = 0;
    redrawViewport(w);
}

const Cell& DisplayModel::shownCell(std::int32_t row, std::int32_t column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) throw std::out_of_range("no such cell");
    return shown_[static_cast<std::size_t>(row * columns_ + column)];
}

void DisplayModel::replaceShownCell(std::int32_t row, std::int32_t column, Cell cell) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) throw std::out_of_range("no such cell");
    shown_[static_cast<std::size_t>(row * columns_ + column)] = cell;
}

std::vector<std::u16string> DisplayModel::shownRows() const {
    std::vector<std::u16string> result;
    for (std::int32_t r = 0; r < rows_; ++r) {
        std::u16string line;
        for (std::int32_t c = 0; c < columns_; ++c) {
            appendUtf16(line, shownCell(r, c).character);
        }
        result.push_back(std::move(line));
    }
    return result;
}

std::vector<std::u32string> DisplayModel::windowRows(std::int32_t window) const {
    const Window& w = existing(window);
    std::vector<std::u32string> result;
    for (std::int32_t r = 0; r < w.geometry.height; ++r) {
        std::u32string line;
        for (std::int32_t c = 0; c < w.geometry.width; ++c) {
            line.push_back(w.cells[static_cast<std::size_t>(r * w.geometry.width + c)].character);
        }
        result.push_back(std::move(line));
    }
    return result;
}

void DisplayModel::put(Window& w, std::int32_t row, std::int32_t column, Cell cell) {
    w.cells[static_cast<std::size_t>(row * w.geometry.width + column)] = cell;
    const WindowGeometry& g = w.geometry;
    if (row < g.viewportHeight && column < g.viewportWidth) {
        shown_[static_cast<std::size_t>((g.viewportRow + row) * columns_ + g.viewportColumn + column)] = cell;
    }
}

void DisplayModel::scrollUp(Window& w) {
    const auto width = static_cast<std::size_t>(w.geometry.width);
    std::move(w.cells.begin() + static_cast<std::ptrdiff_t>(width), w.cells.end(), w.cells.begin());
    std::fill(w.cells.end() - static_cast<std::ptrdiff_t>(width), w.cells.end(), Cell{});
    redrawViewport(w);
}

void DisplayModel::redrawViewport(const Window& w) {
    const WindowGeometry& g = w.geometry;
    for (std::int32_t r = 0; r < g.viewportHeight; ++r) {
        for (std::int32_t c = 0; c < g.viewportWidth; ++c) {
            shown_[static_cast<std::size_t>((g.viewportRow + r) * columns_ + g.viewportColumn + c)] =
                w.cells[static_cast<std::size_t>(r * g.width + c)];
        }
    }
}

}  // namespace model

// The program's application icon: a small pole display with two rows of
// glowing dots, drawn in code: pixel by pixel at 16 pixels, from one 32-unit
// drawing scaled to any larger size (the installed icons are the same
// images). GUI thread only (it paints pixmaps, which needs a QGuiApplication).
#pragma once

#include <QIcon>
#include <QImage>

namespace app::qt {

// The icon in its 16- and 32-pixel images.
QIcon applicationIcon();
// The icon's image at `size` pixels square.
QImage applicationIconImage(int size);

}  // namespace app::qt

// The program's application icon: a small pole display with two rows of
// glowing dots, drawn in code at 16 and 32 pixels. GUI thread only (it paints
// pixmaps, which needs a QGuiApplication).
#pragma once

#include <QIcon>

namespace app::qt {

// The icon in its 16- and 32-pixel images.
QIcon applicationIcon();

}  // namespace app::qt

// The virtual display's icon: the panel's dark glass with two rows of
// glowing character cells, drawn in code from one 32-unit drawing at any
// size. The window uses it, and the installed icons are the same images.
// GUI thread only for the QIcon (it makes pixmaps); the image from any.
#pragma once

#include <QIcon>
#include <QImage>

namespace emulator::qt {

// The icon in its 16-, 32- and 64-pixel images.
QIcon virtualDisplayIcon();
// The icon's image at `size` pixels square.
QImage virtualDisplayIconImage(int size);

}  // namespace emulator::qt

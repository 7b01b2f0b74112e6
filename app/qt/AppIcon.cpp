#include "app/qt/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace app::qt {
namespace {

// One image of the icon on a grid of `size` pixels. The drawing is laid out
// on a 32-unit grid and scaled, with dots snapped to whole pixels so the
// 16-pixel image stays crisp.
QPixmap drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size >= 32);
    const double u = size / 32.0;

    // Pole and foot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5a, 0x63, 0x6e));
    p.drawRect(QRectF(14 * u, 18 * u, 4 * u, 10 * u));
    p.setBrush(QColor(0x3b, 0x41, 0x48));
    p.drawRoundedRect(QRectF(7 * u, 27 * u, 18 * u, 4 * u), u, u);

    // Housing and dark glass.
    p.setBrush(QColor(0x2b, 0x30, 0x36));
    p.drawRoundedRect(QRectF(1 * u, 3 * u, 30 * u, 16 * u), 2 * u, 2 * u);
    p.setBrush(QColor(0x06, 0x1a, 0x14));
    p.drawRect(QRectF(3 * u, 5 * u, 26 * u, 12 * u));

    // Two rows of glowing dots: a soft halo, then a bright core.
    const int columns = size >= 32 ? 8 : 6;
    const double pitch = 24.0 / columns;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < columns; ++col) {
            const double cx = (4 + pitch * (col + 0.5)) * u;
            const double cy = (row == 0 ? 8.5 : 13.5) * u;
            if (size >= 32) {
                p.setBrush(QColor(0x40, 0xff, 0xb0, 70));
                p.drawEllipse(QPointF(cx, cy), 1.9 * u, 1.9 * u);
                p.setBrush(QColor(0xa8, 0xff, 0xd8));
                p.drawEllipse(QPointF(cx, cy), 1.0 * u, 1.0 * u);
            } else {
                p.setBrush(QColor(0x90, 0xff, 0xc8));
                p.drawRect(QRect(static_cast<int>(cx), static_cast<int>(cy), 1, 1));
            }
        }
    }
    p.end();
    return QPixmap::fromImage(image);
}

}  // namespace

QIcon applicationIcon() {
    QIcon icon;
    icon.addPixmap(drawIcon(16));
    icon.addPixmap(drawIcon(32));
    return icon;
}

}  // namespace app::qt

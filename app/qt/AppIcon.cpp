#include "app/qt/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

namespace app::qt {
namespace {

// The image in 32 units, drawn with antialiasing: a pole display on its
// foot, dark glass, two rows of dots with a soft halo round a bright core.
QImage drawLarge(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5a, 0x63, 0x6e));
    p.drawRect(QRectF(14, 18, 4, 10));
    p.setBrush(QColor(0x3b, 0x41, 0x48));
    p.drawRoundedRect(QRectF(7, 27, 18, 4), 1, 1);
    p.setBrush(QColor(0x2b, 0x30, 0x36));
    p.drawRoundedRect(QRectF(1, 3, 30, 16), 2, 2);
    p.setBrush(QColor(0x06, 0x1a, 0x14));
    p.drawRect(QRectF(3, 5, 26, 12));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 7; ++col) {
            const QPointF centre(5.5 + 3.5 * col, row == 0 ? 8.5 : 13.5);
            p.setBrush(QColor(0x40, 0xff, 0xb0, 60));
            p.drawEllipse(centre, 1.6, 1.6);
            p.setBrush(QColor(0xa8, 0xff, 0xd8));
            p.drawEllipse(centre, 0.9, 0.9);
        }
    }
    p.end();
    return image;
}

// The 16-pixel image, pixel by pixel so that it stays crisp and symmetric:
// one pixel per dot with a dark pixel between neighbours.
QImage drawSmall() {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(QRect(7, 10, 2, 4), QColor(0x5a, 0x63, 0x6e));  // pole
    p.fillRect(QRect(4, 13, 8, 2), QColor(0x3b, 0x41, 0x48));  // foot
    p.fillRect(QRect(0, 1, 16, 9), QColor(0x2b, 0x30, 0x36));  // housing
    p.fillRect(QRect(1, 2, 14, 7), QColor(0x06, 0x1a, 0x14));  // glass
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col)
            p.fillRect(QRect(3 + 2 * col, row == 0 ? 4 : 6, 1, 1), QColor(0x90, 0xff, 0xc8));
    p.end();
    return image;
}

}  // namespace

QIcon applicationIcon() {
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(drawSmall()));
    icon.addPixmap(QPixmap::fromImage(drawLarge(32)));
    return icon;
}

QImage applicationIconImage(int size) {
    return size <= 16 ? drawSmall().scaled(size, size) : drawLarge(size);
}

}  // namespace app::qt

#include "emulator/qt/PanelIcon.h"

#include <QPainter>
#include <QPixmap>

namespace emulator::qt {

QImage virtualDisplayIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    // Housing and glass, as on the panel.
    p.setBrush(QColor(18, 20, 20));
    p.drawRoundedRect(QRectF(0.5, 5, 31, 22), 3, 3);
    p.setBrush(QColor(0x06, 0x1a, 0x14));
    p.drawRect(QRectF(2.5, 7, 27, 18));
    // Two rows of three cells, each a 3x4 block of dots with a glow; the
    // last cell of the lower row dark, as text that stops short.
    for (int row = 0; row < 2; ++row) {
        for (int cell = 0; cell < 3; ++cell) {
            const bool lit = !(row == 1 && cell == 2);
            for (int dy = 0; dy < 4; ++dy) {
                for (int dx = 0; dx < 3; ++dx) {
                    const QPointF centre(5.5 + cell * 8.5 + dx * 2.0, 9.5 + row * 8.5 + dy * 1.6);
                    if (lit) {
                        p.setBrush(QColor(0x40, 0xff, 0xb0, 70));
                        p.drawEllipse(centre, 1.0, 1.0);
                        p.setBrush(QColor(0xa8, 0xff, 0xd8));
                    } else {
                        p.setBrush(QColor(0x12, 0x33, 0x2a));
                    }
                    p.drawEllipse(centre, 0.55, 0.55);
                }
            }
        }
    }
    p.end();
    return image;
}

QIcon virtualDisplayIcon() {
    QIcon icon;
    for (const int size : {16, 32, 64}) icon.addPixmap(QPixmap::fromImage(virtualDisplayIconImage(size)));
    return icon;
}

}  // namespace emulator::qt

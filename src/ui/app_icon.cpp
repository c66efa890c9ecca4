#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF tile(size * 0.04, size * 0.04, size * 0.92, size * 0.92);
    QLinearGradient fill(tile.topLeft(), tile.bottomRight());
    fill.setColorAt(0.0, QColor(0x3b, 0x82, 0xd6));
    fill.setColorAt(1.0, QColor(0x1d, 0x4e, 0x89));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(tile, size * 0.18, size * 0.18);

    // A wave that grows from left to right: a sound turned into another.
    QPainterPath wave;
    const double left = tile.left() + size * 0.12;
    const double width = tile.width() - size * 0.24;
    const double middle = tile.center().y();
    for (int i = 0; i <= 64; ++i) {
        const double x = left + width * i / 64.0;
        const double amplitude = size * (0.08 + 0.22 * i / 64.0);
        const double y = middle - amplitude * std::sin(i / 64.0 * 3.0 * 6.2831853);
        if (i == 0) {
            wave.moveTo(x, y);
        } else {
            wave.lineTo(x, y);
        }
    }
    QPen pen(Qt::white, qMax(1.5, size * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);
    return pixmap;
}

} // namespace

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawIcon(size));
    }
    return icon;
}

QIcon FolderIcon()
{
    QIcon icon;
    for (int size : {12, 16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x8a, 0x6a, 0x1e), qMax(1.0, size / 16.0)));
        const double s = size;
        // The back with its tab, then the open front leaning forward.
        QPainterPath back;
        back.moveTo(s * 0.06, s * 0.85);
        back.lineTo(s * 0.06, s * 0.18);
        back.lineTo(s * 0.38, s * 0.18);
        back.lineTo(s * 0.46, s * 0.30);
        back.lineTo(s * 0.88, s * 0.30);
        back.lineTo(s * 0.88, s * 0.85);
        back.closeSubpath();
        painter.setBrush(QColor(0xe8, 0xb9, 0x4a));
        painter.drawPath(back);
        QPainterPath front;
        front.moveTo(s * 0.06, s * 0.85);
        front.lineTo(s * 0.20, s * 0.45);
        front.lineTo(s * 0.97, s * 0.45);
        front.lineTo(s * 0.88, s * 0.85);
        front.closeSubpath();
        painter.setBrush(QColor(0xf6, 0xd3, 0x7a));
        painter.drawPath(front);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

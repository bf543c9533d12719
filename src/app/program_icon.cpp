#include "app/program_icon.h"

#include <QPainter>
#include <QPixmap>

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 64.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 80, 160));
        p.drawRoundedRect(QRectF(2 * s, 2 * s, 60 * s, 60 * s), 10 * s, 10 * s);
        // An end mill over a block of wax.
        p.setBrush(QColor(230, 230, 230));
        p.drawRect(QRectF(26 * s, 8 * s, 12 * s, 30 * s));
        p.setBrush(QColor(250, 200, 60));
        p.drawRect(QRectF(12 * s, 44 * s, 40 * s, 12 * s));
        pixmap.setDevicePixelRatio(1.0);
        icon.addPixmap(pixmap);
    }
    return icon;
}

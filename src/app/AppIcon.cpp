#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace kf {

QIcon KeyfolioIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal m = size / 16.0;
        QPainterPath cap;
        cap.addRoundedRect(QRectF(0.5 * m, 1 * m, 15 * m, 14 * m), 3 * m, 3 * m);
        p.fillPath(cap, QColor(0, 0, 128));
        QPainterPath face;
        face.addRoundedRect(QRectF(2 * m, 2 * m, 12 * m, 10 * m), 2 * m, 2 * m);
        p.fillPath(face, QColor(192, 220, 192));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(int(9 * m));
        p.setFont(f);
        p.setPen(QColor(0, 0, 128));
        p.drawText(QRectF(2 * m, 2 * m, 12 * m, 10 * m), Qt::AlignCenter, QStringLiteral("K"));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace kf

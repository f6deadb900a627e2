#include "core/ui/StatusDot.h"

#include <QPainter>
#include <QPixmap>

const QColor StatusDot::available(52, 199, 89);
const QColor StatusDot::inactive(160, 160, 160);

QIcon StatusDot::icon(const QColor& color)
{
    // Drawn at twice the size so that it stays round on high-density screens.
    QPixmap dot(side * 2, side * 2);
    dot.setDevicePixelRatio(2);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    return QIcon(dot);
}

#include "core/image/ZORVAK_NSImageRotated.h"

#include <QColorSpace>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace ZORVAK_NSImageRotated {

QImage imageRotatedByDegrees(const QImage& image, double degrees)
{
    if (image.isNull() || !std::isfinite(degrees))
        return {};
    // Rows grow downwards, so a positive angle of the transform turns clockwise as seen.
    const QSizeF turned = QTransform().rotate(degrees).mapRect(QRectF(QPointF(), image.size())).size();
    // Sine and cosine of right angles are not exact: a hair above a whole pixel is that pixel.
    constexpr double hair = 1e-6;
    QImage rotated(static_cast<int>(std::ceil(turned.width() - hair)),
                   static_cast<int>(std::ceil(turned.height() - hair)), QImage::Format_ARGB32_Premultiplied);
    rotated.setColorSpace(image.colorSpace());
    rotated.fill(Qt::transparent);
    QPainter painter(&rotated);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.translate(rotated.width() / 2.0, rotated.height() / 2.0);
    painter.rotate(degrees);
    painter.translate(-image.width() / 2.0, -image.height() / 2.0);
    painter.drawImage(QPointF(), image);
    painter.end();
    return rotated;
}

} // namespace ZORVAK_NSImageRotated

#include "printing/raster/ZORVAK_PageImage.h"

#include <QColor>
#include <QPainter>

ZORVAK_PageImage::ZORVAK_PageImage(QImage image, QPoint origin)
    : m_image(std::move(image))
    , m_origin(origin)
{
}

ZORVAK_PageImage ZORVAK_PageImage::filled(const QColor& colour, const QRect& extent, QImage::Format format)
{
    if (extent.isEmpty())
        return {};
    QImage image(extent.size(), format);
    if (image.isNull())
        return {};
    image.fill(colour);
    return ZORVAK_PageImage(std::move(image), extent.topLeft());
}

QPoint ZORVAK_PageImage::drawingPosition(const QRect& inner, const QRect& outer)
{
    return {inner.x() - outer.x(), (outer.y() + outer.height()) - (inner.y() + inner.height())};
}

ZORVAK_PageImage ZORVAK_PageImage::cropped(const QRect& rect) const
{
    const QRect part = extent().intersected(rect);
    if (isNull() || part.isEmpty())
        return {};
    if (part == extent())
        return *this;
    return ZORVAK_PageImage(m_image.copy(QRect(drawingPosition(part, extent()), part.size())), part.topLeft());
}

ZORVAK_PageImage ZORVAK_PageImage::translated(int dx, int dy) const
{
    return ZORVAK_PageImage(m_image, m_origin + QPoint(dx, dy));
}

ZORVAK_PageImage ZORVAK_PageImage::composedOver(const ZORVAK_PageImage& background) const
{
    if (background.isNull())
        return *this;
    if (isNull())
        return background;
    const QRect canvasExtent = extent().united(background.extent());
    QImage canvas = background.m_image;
    if (canvasExtent != background.extent()) {
        canvas = QImage(canvasExtent.size(), background.m_image.format());
        if (canvas.isNull())
            return {};
        canvas.fill(Qt::transparent);
    }
    QPainter painter(&canvas);
    if (canvasExtent != background.extent()) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(drawingPosition(background.extent(), canvasExtent), background.m_image);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(drawingPosition(extent(), canvasExtent), m_image);
    painter.end();
    return ZORVAK_PageImage(std::move(canvas), canvasExtent.topLeft());
}

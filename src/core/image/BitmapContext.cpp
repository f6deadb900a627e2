#include "core/image/BitmapContext.h"

#include "core/image/ImageOrientation.h"
#include "core/image/PixelBufferPool.h"

#include <QColorSpace>

std::shared_ptr<BitmapContext> BitmapContext::create(QSize size, platform::Error* error)
{
    if (!isAcceptableSize(size)) {
        platform::setError(error, {platform::Error::CocoaDomain, 0,
                                   QStringLiteral("A canvas of %1 x %2 pixels cannot be made").arg(size.width()).arg(size.height())});
        return nullptr;
    }
    QImage bitmap = PixelBufferPool::image(size, QImage::Format_RGBA8888_Premultiplied);
    if (bitmap.isNull()) {
        platform::setError(error, {platform::Error::POSIXDomain, 12,
                                   QStringLiteral("No memory for a canvas of %1 x %2 pixels").arg(size.width()).arg(size.height())});
        return nullptr;
    }
    bitmap.fill(Qt::transparent);
    bitmap.setColorSpace(QColorSpace::SRgb);
    return std::shared_ptr<BitmapContext>(new BitmapContext(std::move(bitmap)));
}

bool BitmapContext::isAcceptableSize(QSize size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= maxSide && size.height() <= maxSide
        && qint64(size.width()) * size.height() <= maxPixels;
}

std::unique_ptr<QPainter> BitmapContext::painter()
{
    auto painter = std::make_unique<QPainter>(&m_bitmap);
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    painter->setTransform(flip());
    return painter;
}

QTransform BitmapContext::flip() const
{
    return QTransform(1, 0, 0, -1, 0, m_bitmap.height());
}

QTransform BitmapContext::uprightIn(const QRectF& rect)
{
    return QTransform(1, 0, 0, -1, rect.x(), rect.y() + rect.height());
}

void BitmapContext::drawImageUpright(QPainter& painter, const QRectF& rect, const QImage& image, const QRectF& source,
                                     int orientation)
{
    if (image.isNull() || source.isEmpty() || rect.isEmpty())
        return;
    // Stored source pixels -> unit square of the source -> upright picture of
    // the rectangle's size -> the painter's geometry.
    const QTransform sourceToRect = QTransform::fromTranslate(-source.x(), -source.y())
        * ImageOrientation::transform(source.size(), orientation)
        * QTransform::fromScale(rect.width() / ImageOrientation::oriented(source.size(), orientation).width(),
                                rect.height() / ImageOrientation::oriented(source.size(), orientation).height());
    painter.save();
    painter.setTransform(sourceToRect * uprightIn(rect) * painter.transform());
    painter.drawImage(source.topLeft(), image, source);
    painter.restore();
}

#include "core/image/ZORVAK_Image.h"

#include "core/image/ImageOrientation.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_color.h"
#include "platform/Log.h"

#include <QCache>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QUrl>

#include <mutex>
#include <numbers>

namespace {

// Previews by file (path, modification time, size) or by data (digest), bounded
// by the memory their pixels take.
class PreviewCache {
public:
    static PreviewCache& shared()
    {
        static PreviewCache cache;
        return cache;
    }

    static QString keyFor(const QVariant& object)
    {
        if (object.typeId() == QMetaType::QByteArray)
            return QStringLiteral("data:") + QString::fromLatin1(QCryptographicHash::hash(object.toByteArray(), QCryptographicHash::Sha1).toHex());
        const QString path = object.typeId() == QMetaType::QUrl ? object.toUrl().toLocalFile() : object.toString();
        const QFileInfo info(path);
        if (path.isEmpty() || !info.isFile())
            return {};
        return QStringLiteral("%1|%2|%3").arg(info.absoluteFilePath()).arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size());
    }

    std::optional<QImage> find(const QString& key)
    {
        std::lock_guard locker(m_lock);
        if (const QImage* image = m_images.object(key))
            return *image;
        return std::nullopt;
    }

    void insert(const QString& key, const QImage& image)
    {
        std::lock_guard locker(m_lock);
        m_images.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    }

private:
    static constexpr int maxKilobytes = 256 * 1024;

    std::mutex m_lock;
    QCache<QString, QImage> m_images{maxKilobytes};
};

} // namespace

ZORVAK_Image::ZORVAK_Image(std::shared_ptr<ImageSource> source) : m_source(std::move(source)) {}

ZORVAK_Image::ZORVAK_Image(const QImage& image, const std::optional<QVariantMap>& metaData) : m_metaData(metaData)
{
    if (!image.isNull())
        m_image = image;
}

ZORVAK_Image::ZORVAK_Image(const AttributedString& string) : m_string(string), m_borderClipsContent(false) {}

std::shared_ptr<ZORVAK_Image> ZORVAK_Image::imageWithObject(const QVariant& object)
{
    if (object.typeId() == QMetaType::QImage) {
        const QImage image = object.value<QImage>();
        return image.isNull() ? nullptr : std::make_shared<ZORVAK_Image>(image, std::nullopt);
    }
    auto source = createCGImageSourceFromObject(object);
    return source ? std::make_shared<ZORVAK_Image>(std::move(source)) : nullptr;
}

std::shared_ptr<ZORVAK_Image> ZORVAK_Image::previewImageWithObject(const QVariant& object)
{
    if (!object.isValid() || object.typeId() == QMetaType::QImage)
        return nullptr;
    const QString key = PreviewCache::keyFor(object);
    if (!key.isEmpty()) {
        if (const auto cached = PreviewCache::shared().find(key))
            return std::make_shared<ZORVAK_Image>(*cached, std::nullopt);
    }
    const auto source = createCGImageSourceFromObject(object);
    if (!source)
        return nullptr;
    platform::Error error;
    const QImage preview = source->createThumbnail(previewPixelSize, &error);
    if (preview.isNull()) {
        platform::Log::error(QStringLiteral("no preview of %1").arg(error.message));
        return nullptr;
    }
    if (!key.isEmpty())
        PreviewCache::shared().insert(key, preview);
    return std::make_shared<ZORVAK_Image>(preview, std::nullopt);
}

std::shared_ptr<ZORVAK_Image> ZORVAK_Image::imageWithDrawingString(const QString& string, const TextAttributes& attributes)
{
    return std::make_shared<ZORVAK_Image>(AttributedString(string, attributes));
}

std::shared_ptr<ZORVAK_Image> ZORVAK_Image::imageWithDrawingString(const AttributedString& string,
                                                                   const std::optional<TextAttributes>& attributes)
{
    AttributedString text = string;
    if (attributes)
        text.setAttributes(*attributes);
    return std::make_shared<ZORVAK_Image>(text);
}

std::shared_ptr<ImageSource> ZORVAK_Image::createCGImageSourceFromObject(const QVariant& object)
{
    return ImageSource::create(object);
}

QImage ZORVAK_Image::createCGImageFromObject(const QVariant& object, QVariantMap* getProperties)
{
    const auto source = createCGImageSourceFromObject(object);
    if (!source)
        return {};
    if (getProperties)
        *getProperties = source->properties(0);
    platform::Error error;
    QImage image = source->createImage(0, {}, &error);
    if (image.isNull())
        platform::Log::error(error.message);
    return image;
}

void ZORVAK_Image::imageFromObject(const QVariant& object,
                                   const std::function<void(const QImage& image, int index, const QVariantMap& properties)>& reply)
{
    const auto source = reply ? createCGImageSourceFromObject(object) : nullptr;
    if (!source)
        return;
    for (int index = 0; index < source->count(); ++index)
        reply(source->createImage(index), index, source->properties(index));
}

QVariantMap ZORVAK_Image::metaDataForImageSource(const ImageSource& source)
{
    return source.properties(0);
}

QVariantMap ZORVAK_Image::metaData() const
{
    if (m_metaData)
        return *m_metaData;
    return m_source ? m_source->properties(0) : QVariantMap();
}

int ZORVAK_Image::orientationNatural() const
{
    return ImageOrientation::valid(metaData().value(ImageProperties::orientationKey, 1).toInt());
}

int ZORVAK_Image::orientation() const
{
    return m_orientationForced ? ImageOrientation::valid(*m_orientationForced) : orientationNatural();
}

std::optional<int> ZORVAK_Image::orientationForImage(const QVariant& object)
{
    const auto source = createCGImageSourceFromObject(object);
    if (!source)
        return std::nullopt;
    return ImageOrientation::valid(source->properties(0).value(ImageProperties::orientationKey, 1).toInt());
}

std::optional<double> ZORVAK_Image::rotationForImageMetaData(const QVariantMap& metaData)
{
    switch (metaData.value(ImageProperties::orientationKey).toInt()) {
    case 3: return std::numbers::pi;
    case 6: return std::numbers::pi / 2;
    case 8: return -std::numbers::pi / 2;
    default: return std::nullopt;
    }
}

std::optional<double> ZORVAK_Image::rotationForImage(const QVariant& object)
{
    const auto source = createCGImageSourceFromObject(object);
    return source ? rotationForImageMetaData(source->properties(0)) : std::nullopt;
}

QImage ZORVAK_Image::cgImage() const
{
    if (!m_image && m_source) {
        platform::Error error;
        m_image = m_source->createImage(0, {}, &error);
        if (m_image->isNull())
            platform::Log::error(error.message);
    }
    return m_image.value_or(QImage());
}

QSizeF ZORVAK_Image::actualSize() const
{
    // The stored size from the file's header, so sizes need no decoding.
    if (!m_image && m_source)
        return sizeForImageMetaData(m_source->properties(0));
    return m_image ? QSizeF(m_image->size()) : QSizeF();
}

QSizeF ZORVAK_Image::size() const
{
    // Metadata given without pixel sizes (only an orientation) leave the size to the bitmap.
    const QSizeF fromMetaData = sizeForImageMetaData(metaData());
    return fromMetaData.isEmpty() ? actualSize() : fromMetaData;
}

QSizeF ZORVAK_Image::orientedSizeForOrientation(int orientation, const QSizeF& size)
{
    return ImageOrientation::oriented(size, orientation);
}

QSizeF ZORVAK_Image::orientedSizeForSize(const QSizeF& size) const
{
    return orientedSizeForOrientation(orientation(), size);
}

QSizeF ZORVAK_Image::orientedSize() const
{
    return orientedSizeForSize(actualSize());
}

QSizeF ZORVAK_Image::naturalOrientedSize() const
{
    return orientedSizeForOrientation(orientationNatural(), actualSize());
}

QSizeF ZORVAK_Image::sizeForImageMetaData(const QVariantMap& metaData, bool oriented)
{
    if (!metaData.contains(ImageSource::pixelWidthKey) || !metaData.contains(ImageSource::pixelHeightKey))
        return {0, 0};
    const QSizeF size(metaData.value(ImageSource::pixelWidthKey).toDouble(), metaData.value(ImageSource::pixelHeightKey).toDouble());
    return oriented ? ImageOrientation::oriented(size, metaData.value(ImageProperties::orientationKey).toInt()) : size;
}

QSizeF ZORVAK_Image::orientedSizeForImageMetaData(const QVariantMap& metaData)
{
    return sizeForImageMetaData(metaData, true);
}

QSizeF ZORVAK_Image::sizeForImage(const ZORVAK_Image& image)
{
    return image.size();
}

QSizeF ZORVAK_Image::sizeForImage(const QVariant& object)
{
    const auto source = createCGImageSourceFromObject(object);
    return source ? sizeForImageMetaData(source->properties(0)) : QSizeF(0, 0);
}

QSizeF ZORVAK_Image::orientedSizeForImage(const ZORVAK_Image& image)
{
    return image.orientedSize();
}

QSizeF ZORVAK_Image::orientedSizeForImage(const QVariant& object)
{
    const auto source = createCGImageSourceFromObject(object);
    return source ? orientedSizeForImageMetaData(source->properties(0)) : QSizeF(0, 0);
}

std::shared_ptr<BitmapContext> ZORVAK_Image::drawingContextWithCanvasSize(const QSizeF& size)
{
    m_drawingContext.reset();
    const QSize pixels(static_cast<int>(std::clamp(size.width(), -1.0, 1e9)), static_cast<int>(std::clamp(size.height(), -1.0, 1e9)));
    if (pixels.width() <= 0 || pixels.height() <= 0) {
        platform::Log::error(QStringLiteral("Both width and height must be > 0 (%1 x %2)").arg(size.width()).arg(size.height()));
        return nullptr;
    }
    platform::Error error;
    m_drawingContext = BitmapContext::create(pixels, &error);
    if (!m_drawingContext)
        platform::Log::error(error.message);
    return m_drawingContext;
}

std::shared_ptr<BitmapContext> ZORVAK_Image::drawingContext() const
{
    if (!m_drawingContext)
        platform::Log::error(QStringLiteral("call drawingContextWithCanvasSize: to create a context before accessing this property!"));
    return m_drawingContext;
}

QSizeF ZORVAK_Image::drawingContextSize() const
{
    return m_drawingContext ? QSizeF(m_drawingContext->size()) : QSizeF(0, 0);
}

QRectF ZORVAK_Image::normalizedRect(const QRectF& rect, const QSizeF& size)
{
    if (size.width() == 0 || size.height() == 0)
        return {};
    return {rect.x() / size.width(), rect.y() / size.height(), rect.width() / size.width(), rect.height() / size.height()};
}

QRectF ZORVAK_Image::denormalizedRect(const QRectF& rect, const QSizeF& size)
{
    return {rect.x() * size.width(), rect.y() * size.height(), rect.width() * size.width(), rect.height() * size.height()};
}

QPointF ZORVAK_Image::normalizedPoint(const QPointF& point, const QSizeF& size)
{
    if (size.width() == 0 || size.height() == 0)
        return {};
    return {point.x() / size.width(), point.y() / size.height()};
}

QPointF ZORVAK_Image::denormalizedPoint(const QPointF& point, const QSizeF& size)
{
    if (size.width() == 0 || size.height() == 0)
        return {};
    return {point.x() * size.width(), point.y() * size.height()};
}

QColor ZORVAK_Image::createColorWithHexcode(const QString& hexcode)
{
    if (hexcode.isNull())
        platform::Log::log(QStringLiteral("using default color black"));
    return ZORVAK_color::createColorWithHexcode(hexcode);
}

void ZORVAK_Image::setColorWithHexcode(const QString& hexcode, const QString& forKey)
{
    m_colors.insert(forKey, createColorWithHexcode(hexcode));
}

QColor ZORVAK_Image::colorForKey(const QString& key) const
{
    return m_colors.value(key);
}

QColor ZORVAK_Image::colorForHexcode(const QString& hexcode)
{
    if (hexcode.isNull())
        return {};
    if (!m_colors.contains(hexcode))
        setColorWithHexcode(hexcode, hexcode);
    return m_colors.value(hexcode);
}

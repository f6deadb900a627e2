#include "core/image/ImageSource.h"

#include "core/image/BitmapContext.h"
#include "core/image/ImageOrientation.h"
#include "core/image/ImageProperties.h"
#include "core/image/ImageSignature.h"
#include "core/image/JpegDecoder.h"
#include "core/image/PixelBufferPool.h"
#include "core/image/PixelScaler.h"
#include "platform/files/BoundedFileRead.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace {

// Enough for the largest picture the canvas limits allow, at 4 bytes a pixel.
constexpr int allocationLimitMegabytes = int(BitmapContext::maxPixels * 4 / (1024 * 1024)) + 1;

platform::Error sourceError(const QString& origin, const QString& reason)
{
    return {platform::Error::CocoaDomain, 0, QStringLiteral("%1: %2").arg(origin, reason)};
}

struct Reader {
    explicit Reader(const QByteArray& data)
    {
        buffer.setData(data); // shares the bytes
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setFormat(ImageSignature::format(data));
        reader.setAutoTransform(false);
        reader.setAllocationLimit(allocationLimitMegabytes);
    }
    QBuffer buffer;
    QImageReader reader;
};

// The size to have Qt decode a JPEG at for `scaledSize`. Its reader lets libjpeg
// decode at the smallest eighth of the stored size that covers the scaled size;
// libjpeg-turbo has fast code for 1/8, 2/8, 4/8 and 8/8 only, and decodes a
// 12-megapixel photo at 3/8 about a tenth slower than at 4/8. So where 3/8
// would be taken, the picture is decoded at half its size and scaled from there.
QSize jpegDecodingSize(const QByteArray& data, QSize stored, QSize scaledSize)
{
    if (!data.startsWith("\xFF\xD8") || scaledSize.isEmpty() || stored.isEmpty())
        return scaledSize;
    const double factor = std::min(double(stored.width()) / scaledSize.width(), double(stored.height()) / scaledSize.height());
    if (std::ceil(8 / factor) != 3)
        return scaledSize;
    return stored / 2;
}

void convertToSRGB(QImage& image)
{
    const QColorSpace sRGB(QColorSpace::SRgb);
    if (image.colorSpace().isValid() && image.colorSpace() != sRGB)
        image.convertToColorSpace(sRGB);
    image.setColorSpace(sRGB);
}

// Decodes the picture the reader stands on (at its scaled size, when set) in
// sRGB. JPEGs in CMYK or in grey with a profile go through the colour-managed
// decoder; Qt's reader does not convert those.
QImage readInSRGB(Reader& source, const QByteArray& data, int index, QString* reason)
{
    if (index == 0 && JpegDecoder::needsColorConversion(data))
        return JpegDecoder::decode(data, source.reader.scaledSize(), reason);
    QImage image;
    if (!source.reader.read(&image)) {
        *reason = source.reader.errorString();
        return {};
    }
    convertToSRGB(image);
    return image;
}

// `image` in a format the canvas draws without converting: 4-byte pixels,
// premultiplied when they have alpha.
QImage inCanvasLayout(const QImage& image)
{
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888;
    return image.format() == format ? image : image.convertToFormat(format);
}

} // namespace

ImageSource::ImageSource(std::shared_ptr<char> block, QByteArray data, QString origin)
    : m_block(std::move(block))
    , m_data(std::move(data))
    , m_origin(std::move(origin))
{
}

std::optional<QByteArray> ImageSource::readFile(const QString& path, std::shared_ptr<char>& block, platform::Error* error)
{
    platform::BoundedFileRead file(path, maxFileBytes);
    if (file.isOpen())
        block = PixelBufferPool::block(std::size_t(file.size()));
    if (file.isOpen() && !block) {
        platform::setError(error, {platform::Error::POSIXDomain, ENOMEM, QStringLiteral("%1: no memory to read it").arg(path)});
        return std::nullopt;
    }
    if (!file.readWholeInto(block.get())) {
        platform::setError(error, file.error());
        return std::nullopt;
    }
    return QByteArray::fromRawData(block.get(), qsizetype(file.size()));
}

std::shared_ptr<ImageSource> ImageSource::create(const QVariant& object, platform::Error* error)
{
    std::shared_ptr<char> block;
    std::optional<QByteArray> data;
    QString origin;
    if (object.typeId() == QMetaType::QString) {
        origin = object.toString();
        data = readFile(origin, block, error);
    } else if (object.typeId() == QMetaType::QUrl && object.toUrl().isLocalFile()) {
        origin = object.toUrl().toLocalFile();
        data = readFile(origin, block, error);
    } else if (object.typeId() == QMetaType::QByteArray) {
        origin = QStringLiteral("data");
        data = object.toByteArray();
    } else {
        platform::setError(error, sourceError(object.toString(), QStringLiteral("not a path, file URL or data")));
    }
    if (!data)
        return nullptr;
    std::shared_ptr<ImageSource> source(new ImageSource(std::move(block), std::move(*data), origin));
    Reader probe(source->m_data);
    const QSize size = probe.reader.canRead() ? probe.reader.size() : QSize();
    if (size.isEmpty()) {
        platform::setError(error, sourceError(origin, QStringLiteral("not an image Qt can read")));
        return nullptr;
    }
    source->m_count = std::max(1, probe.reader.imageCount());
    source->m_firstProperties = ImageProperties::read(source->m_data).value_or(QVariantMap());
    source->m_firstProperties.insert(pixelWidthKey, size.width());
    source->m_firstProperties.insert(pixelHeightKey, size.height());
    return source;
}

QVariantMap ImageSource::properties(int index) const
{
    if (index == 0)
        return m_firstProperties;
    const QSize size = storedSize(index);
    if (!size.isValid())
        return {};
    return {{pixelWidthKey, size.width()}, {pixelHeightKey, size.height()}};
}

QSize ImageSource::storedSize(int index) const
{
    Reader source(m_data);
    if (index > 0 && !source.reader.jumpToImage(index))
        return {};
    return source.reader.size();
}

QImage ImageSource::createImage(int index, QSize scaledSize, platform::Error* error) const
{
    Reader source(m_data);
    if (index < 0 || index >= m_count || (index > 0 && !source.reader.jumpToImage(index))) {
        platform::setError(error, sourceError(m_origin, QStringLiteral("no picture %1").arg(index)));
        return {};
    }
    const QSize decodingSize = index == 0 ? jpegDecodingSize(m_data, source.reader.size(), scaledSize) : scaledSize;
    if (decodingSize.isValid())
        source.reader.setScaledSize(decodingSize);
    const QSize size = scaledSize.isValid() ? scaledSize : source.reader.size();
    if (size.isValid() && !BitmapContext::isAcceptableSize(size)) {
        platform::setError(error, sourceError(m_origin, QStringLiteral("picture too large (%1 x %2 pixels)").arg(size.width()).arg(size.height())));
        return {};
    }
    QString reason;
    QImage image = readInSRGB(source, m_data, index, &reason);
    if (image.isNull())
        platform::setError(error, sourceError(m_origin, reason));
    else if (scaledSize.isValid() && image.size() != scaledSize)
        image = image.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

QImage ImageSource::createDrawnImage(const QRectF& storedPart, QSize drawnSize, int orientation, platform::Error* error) const
{
    const QSize stored(m_firstProperties.value(pixelWidthKey).toInt(), m_firstProperties.value(pixelHeightKey).toInt());
    const QSize drawnStored = ImageOrientation::swapsSides(orientation) ? drawnSize.transposed() : drawnSize;
    if (storedPart.isEmpty() || drawnSize.isEmpty() || !BitmapContext::isAcceptableSize(drawnSize) || stored.isEmpty()) {
        platform::setError(error, sourceError(m_origin, QStringLiteral("nothing of the picture to draw")));
        return {};
    }
    QImage scaled = JpegDecoder::decodeDrawn(m_data, storedPart, drawnStored);
    if (scaled.isNull()) {
        // Other pictures (and JPEGs needing colour conversion) are decoded by
        // their reader, at reduced size when that still covers the drawn size.
        const double scale = std::min(1.0, std::max(drawnStored.width() / storedPart.width(), drawnStored.height() / storedPart.height()));
        const QSize reduced(std::max(1, int(std::ceil(stored.width() * scale))), std::max(1, int(std::ceil(stored.height() * scale))));
        const QImage pixels = inCanvasLayout(createImage(0, reduced == stored ? QSize() : reduced, error));
        if (pixels.isNull())
            return {};
        const QRectF part = QTransform::fromScale(double(pixels.width()) / stored.width(), double(pixels.height()) / stored.height()).mapRect(storedPart);
        scaled = PixelScaler::scaled(pixels, part, drawnStored);
    }
    if (scaled.isNull())
        platform::setError(error, sourceError(m_origin, QStringLiteral("no memory for the drawn picture")));
    return ImageOrientation::upright(scaled, orientation);
}

QImage ImageSource::createThumbnail(int maxPixelSize, platform::Error* error) const
{
    const QSize stored = storedSize(0);
    QSize scaled;
    if (stored.isValid() && std::max(stored.width(), stored.height()) > maxPixelSize) {
        const double factor = double(maxPixelSize) / std::max(stored.width(), stored.height());
        scaled = QSize(std::max(1, int(std::lround(stored.width() * factor))), std::max(1, int(std::lround(stored.height() * factor))));
    }
    const QImage image = createImage(0, scaled, error);
    if (image.isNull())
        return image;
    const int orientation = ImageOrientation::valid(m_firstProperties.value(ImageProperties::orientationKey).toInt());
    return ImageOrientation::upright(image, orientation);
}

#include "core/image/UprightImageReader.h"

#include "core/image/ImageOrientation.h"
#include "core/image/ImageProperties.h"
#include "core/image/ImageSignature.h"
#include "core/image/JpegDecoder.h"
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"

#include <QBuffer>
#include <QImageReader>
#include <QUrl>

#include <algorithm>

namespace {

// The size that keeps the aspect ratio of `size` with its longer side at most
// `maximumLongerSide`, never larger than `size` and never below one pixel.
QSize reducedSize(const QSize& size, int maximumLongerSide)
{
    const int longerSide = std::max(size.width(), size.height());
    if (maximumLongerSide <= 0 || longerSide <= maximumLongerSide)
        return size;
    const double factor = double(maximumLongerSide) / longerSide;
    return {std::max(1, qRound(size.width() * factor)), std::max(1, qRound(size.height() * factor))};
}

QByteArray fileContents(const QString& path)
{
    platform::Error error;
    const auto contents = platform::BoundedFileRead::contents(path, UprightImageReader::maximumFileSize, &error);
    if (!contents)
        platform::Log::error(error.description());
    return contents.value_or(QByteArray());
}

QImage decode(QByteArray data, int maximumLongerSide)
{
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, ImageSignature::format(data));
    reader.setAutoTransform(false); // the orientation is applied from the metadata, once
    const QSize storedSize = reader.size();
    if (storedSize.width() > UprightImageReader::maximumSide || storedSize.height() > UprightImageReader::maximumSide)
        return {};
    if (storedSize.isValid())
        reader.setScaledSize(reducedSize(storedSize, maximumLongerSide));
    QImage image = JpegDecoder::needsColorConversion(data) ? JpegDecoder::decode(data, reader.scaledSize()) : reader.read();
    // Readers that cannot tell their size in advance are scaled after reading.
    const QSize target = reducedSize(image.size(), maximumLongerSide);
    if (!image.isNull() && target != image.size())
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

std::optional<QString> UprightImageReader::localPath(const QVariant& pathOrUrl)
{
    if (pathOrUrl.typeId() == QMetaType::QString)
        return pathOrUrl.toString();
    if (pathOrUrl.typeId() == QMetaType::QUrl && pathOrUrl.toUrl().isLocalFile())
        return pathOrUrl.toUrl().toLocalFile();
    return std::nullopt;
}

QImage UprightImageReader::read(const QVariant& source, int maximumLongerSide)
{
    QByteArray data;
    if (source.typeId() == QMetaType::QByteArray)
        data = source.toByteArray();
    else if (const auto path = localPath(source); path && !path->isEmpty())
        data = fileContents(*path);
    if (data.isEmpty())
        return {};
    const QImage stored = decode(data, maximumLongerSide);
    if (stored.isNull())
        return {};
    const auto properties = ImageProperties::read(data);
    const qint64 orientation = properties ? properties->value(ImageProperties::orientationKey, 1).toLongLong() : 1;
    return orientation < 1 || orientation > 8 ? stored : ImageOrientation::upright(stored, int(orientation));
}

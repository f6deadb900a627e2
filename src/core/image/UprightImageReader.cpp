#include "core/image/UprightImageReader.h"

#include "core/image/ImageProperties.h"
#include "core/image/JpegDecoder.h"
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"

#include <QBuffer>
#include <QImageReader>
#include <QTransform>
#include <QUrl>

#include <algorithm>
#include <array>

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

// Turns a stored image upright for an EXIF orientation (1-8): mirror first,
// then turn clockwise.
QImage uprightImage(const QImage& stored, qint64 orientation)
{
    struct Turn {
        bool mirrorHorizontally;
        bool mirrorVertically;
        int clockwiseDegrees;
    };
    static constexpr std::array<Turn, 8> turns {{
        {false, false, 0}, {true, false, 0}, {true, true, 0}, {false, true, 0},
        {false, true, 90}, {false, false, 90}, {true, false, 90}, {false, false, 270},
    }};
    if (orientation < 1 || orientation > 8)
        return stored;
    const Turn& turn = turns[size_t(orientation - 1)];
    QImage image = stored.mirrored(turn.mirrorHorizontally, turn.mirrorVertically);
    return turn.clockwiseDegrees ? image.transformed(QTransform().rotate(turn.clockwiseDegrees)) : image;
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
    QImageReader reader(&buffer);
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
    return uprightImage(stored, properties ? properties->value(ImageProperties::orientationKey, 1).toLongLong() : 1);
}

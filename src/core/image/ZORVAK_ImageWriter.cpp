#include "core/image/ZORVAK_ImageWriter.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/foundation/ZORVAK_NSDateAdditions.h"
#include "core/image/ImageProperties.h"
#include "core/image/JpegEncoder.h"
#include "core/image/ZORVAK_EXIF.h"
#include "platform/Log.h"
#include "platform/files/FileOperations.h"
#include "platform/files/UTType.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QImageWriter>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <limits>
#include <mutex>
#include <optional>

using platform::Error;

namespace {

const QString exifDateFormat = QStringLiteral("yyyy:MM:dd HH:mm:ss");
const QString defaultComment = QStringLiteral("KOVA comment");
const QString defaultNote = QStringLiteral("KOVA XML");
constexpr double defaultQuality = 0.85;

// A free name is looked for this many times before giving up: each attempt
// fails only because another writer took the name a moment earlier.
constexpr int maxNameClaims = 1000;

struct WriteSettings {
    QString comment;
    QString note;
    qint64 maxPixelLength = 0; // 0: no downsampling
    bool overwrite = true;
    double quality = defaultQuality;
    QString type;
};

QVariant firstPresent(const QVariantMap& options, const QString& key, const QString& fallbackKey)
{
    return options.contains(key) ? options.value(key) : options.value(fallbackKey);
}

WriteSettings settingsFrom(const QVariantMap& options)
{
    WriteSettings settings;
    const QVariant comment = firstPresent(options, zorvakImageKey_exifComment, ZORVAK_ImageWriter::exifUserCommentKey);
    const QVariant note = firstPresent(options, zorvakImageKey_exifNote, ZORVAK_ImageWriter::exifMakerNoteKey);
    settings.comment = comment.isValid() ? comment.toString() : defaultComment;
    settings.note = note.isValid() ? note.toString() : defaultNote;
    if (options.value(zorvakImageKey_downsample).toBool())
        settings.maxPixelLength = qMax<qint64>(0, options.value(zorvakImageKey_maxPixelLength).toLongLong());
    settings.overwrite = options.value(zorvakImageKey_overwriteExistingFile, true).toBool();
    bool isNumber = false;
    const double quality
        = firstPresent(options, zorvakImageKey_lossyCompressionQuality, ZORVAK_ImageWriter::lossyCompressionQualityKey)
              .toDouble(&isNumber);
    settings.quality = isNumber ? qBound(0.0, quality, 1.0) : defaultQuality;
    settings.type = options.value(zorvakImageKey_utType).toString();
    if (settings.type.isEmpty())
        settings.type = platform::kUTTypeJPEG;
    return settings;
}

// ---- File names ----

// An absolute local path below the root: the only kind of destination a file
// can be written to. Empty for anything else.
QString destinationPath(const QUrl& url)
{
    const QString path = url.isLocalFile() ? QDir::cleanPath(url.toLocalFile()) : QString();
    return QDir::isAbsolutePath(path) && path != QStringLiteral("/") ? path : QString();
}

struct FileName {
    QString folder; // with its closing slash; empty for a relative name
    QString base;
    QString extension; // without the dot; empty when there is none

    static FileName of(const QString& path)
    {
        const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
        const QString name = path.mid(nameStart);
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const bool hasExtension = dot > 0 && dot < name.size() - 1; // ".profile" has none
        return FileName{path.left(nameStart), hasExtension ? name.left(dot) : name, hasExtension ? name.mid(dot + 1) : QString()};
    }

    QUrl url() const
    {
        return QUrl::fromLocalFile(folder + base + (extension.isEmpty() ? QString() : QLatin1Char('.') + extension));
    }
};

// "print.jpeg" -> "print 1.jpeg", "print 7.jpeg" -> "print 8.jpeg".
QUrl nextNumberedName(const QUrl& url)
{
    static const QRegularExpression numberAtEnd(QStringLiteral(" ([0-9]+)$"));
    FileName name = FileName::of(QDir::cleanPath(url.toLocalFile()));
    qint64 number = 1;
    const QRegularExpressionMatch match = numberAtEnd.match(name.base);
    bool isNumber = false;
    const qint64 previous = match.hasMatch() ? match.captured(1).toLongLong(&isNumber) : 0;
    if (isNumber && previous < std::numeric_limits<qint64>::max()) {
        number = previous + 1;
        name.base.truncate(match.capturedStart());
    }
    name.base += QLatin1Char(' ') + QString::number(number);
    return name.url();
}

bool itemExists(const QUrl& url)
{
    return ZORVAK_Extras_NSURL::conformsToUTType(url, platform::kUTTypeItem);
}

// Writes `data` atomically at `url`, or without overwriting at the first free
// name from `url` on, claimed by the no-replace rename that puts the file in
// place. Answers the URL written. Output folders are shared with other
// programs: a link found at the name is replaced, never written through.
std::optional<QUrl> writeFile(const QUrl& url, const QByteArray& data, bool overwrite, Error* error)
{
    if (overwrite)
        return platform::FileOperations::replaceFileAtomically(url.toLocalFile(), data, error) ? std::optional(url) : std::nullopt;
    QUrl candidate = ZORVAK_ImageWriter::URLWithoutOverwriting(url);
    for (int claim = 0; claim < maxNameClaims; ++claim) {
        Error claimError;
        if (platform::FileOperations::writeFileAtomicallyNoReplace(candidate.toLocalFile(), data, &claimError))
            return candidate;
        if (claimError.code != EEXIST) {
            platform::setError(error, claimError);
            return std::nullopt;
        }
        candidate = ZORVAK_ImageWriter::URLWithoutOverwriting(candidate);
    }
    platform::setError(error, Error::fromErrno(EEXIST, QStringLiteral("no free name for %1").arg(url.toLocalFile())));
    return std::nullopt;
}

// ---- Pixels and metadata ----

QImage downsampled(const QImage& image, qint64 maxPixelLength)
{
    const qint64 width = image.width();
    const qint64 height = image.height();
    if (maxPixelLength <= 0 || (maxPixelLength >= width && maxPixelLength >= height))
        return image;
    const qint64 longer = qMax(width, height);
    const auto scaledSide = [&](qint64 side) { return static_cast<int>(qMax<qint64>(1, side * maxPixelLength / longer)); };
    return image.scaled(scaledSide(width), scaledSide(height), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QByteArray> encoded(const QImage& image, const WriteSettings& settings, QString* reason)
{
    const QByteArray format = platform::UTType::preferredExtension(settings.type).toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        *reason = QStringLiteral("no image format writes the type %1").arg(settings.type);
        return std::nullopt;
    }
    // Canvases and decoded pictures are of 4-byte pixels, which the JPEG
    // encoder takes row by row as they are.
    if (format == "jpeg" && JpegEncoder::takes(image))
        return JpegEncoder::encode(image, qRound(settings.quality * 100), reason);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(qRound(settings.quality * 100));
    if (!writer.write(image)) {
        *reason = writer.errorString();
        return std::nullopt;
    }
    return data;
}

QString exifDate(const QDateTime& date)
{
    return ZORVAK_NSDateAdditions::stringWithUTSFormat(date, exifDateFormat);
}

// The encoded image with the comment, note, dates and orientation 1, in the
// formats that hold EXIF metadata; others are written as they are.
std::optional<QByteArray> withMetadata(const QByteArray& image, const WriteSettings& settings,
                                       const QDateTime& originalDate, QString* reason)
{
    if (ImageProperties::exifAccess(image) != ImageProperties::ExifAccess::readWrite)
        return image;
    const QVariantMap exif{{QStringLiteral("UserComment"), settings.comment},
                           {QStringLiteral("MakerNote"), settings.note},
                           {QStringLiteral("DateTimeOriginal"), exifDate(originalDate)},
                           {QStringLiteral("DateTimeDigitized"), exifDate(QDateTime::currentDateTime())}};
    Error error;
    std::optional<QByteArray> written = ImageProperties::rewrite(
        image, {{ImageProperties::orientationKey, 1}, {ImageProperties::exifDictionaryKey, exif}}, &error);
    if (!written)
        *reason = error.message;
    return written;
}

// ---- Reports ----

Error failure(const QString& message, const QString& reason)
{
    return Error{Error::CocoaDomain, 0, reason.isEmpty() ? message : message + QStringLiteral(": ") + reason};
}

bool reportBadArguments(const char* operation, const QString& source, const QString& destination, Error* error)
{
    const Error bad{Error::POSIXDomain, EINVAL,
                    QStringLiteral("%1 ERROR: Bad input arguments src:%2 dst:%3").arg(QLatin1String(operation), source, destination)};
    platform::Log::log(bad.message);
    platform::setError(error, bad);
    return false;
}

QString descriptionOf(const QImage& image)
{
    return image.isNull() ? QStringLiteral("(null)") : QStringLiteral("QImage(%1x%2)").arg(image.width()).arg(image.height());
}

QString descriptionOf(const QList<QUrl>& urls)
{
    QStringList texts;
    for (const QUrl& url : urls)
        texts.append(url.toString());
    return urls.isEmpty() ? QStringLiteral("(null)") : QStringLiteral("(%1)").arg(texts.join(QStringLiteral(", ")));
}

// Collects the outcome of every destination: all written, and the first failure.
class Outcome {
public:
    explicit Outcome(Error* error)
        : m_error(error)
    {
    }

    void add(const Error& failure)
    {
        if (failure.isNull())
            return;
        platform::Log::log(failure.message);
        if (m_succeeded)
            platform::setError(m_error, failure);
        m_succeeded = false;
    }

    bool succeeded() const { return m_succeeded; }

private:
    Error* m_error;
    bool m_succeeded = true;
};

// Writes the encoded image (none with the reason when it could not be
// encoded) to one destination; a null error on success.
Error writeDestination(const QUrl& destination, const std::optional<QByteArray>& image, const QString& encodingFailure,
                       const WriteSettings& settings, const QDateTime& originalDate)
{
    const QString path = destinationPath(destination);
    if (path.isEmpty())
        return failure(QStringLiteral("Passed parameter to ZORVAK_ImageWriter::writeImage not a path or URL"), destination.toString());
    const QUrl url = ZORVAK_ImageWriter::URLWithExtensionOfType(QUrl::fromLocalFile(path), settings.type);
    Error folderError;
    if (!image || !ZORVAK_ImageWriter::makeEnclosingDirectoryForFileURL(url, &folderError))
        return failure(QStringLiteral("Failed to create CGImageDestination for %1").arg(destination.toString()),
                       image ? folderError.message : encodingFailure);
    QString reason;
    const std::optional<QByteArray> file = withMetadata(*image, settings, originalDate, &reason);
    Error writeError;
    if (file && !writeFile(url, *file, settings.overwrite, &writeError))
        reason = writeError.message;
    return reason.isEmpty() ? Error{} : failure(QStringLiteral("Failed to finalize image to %1").arg(destination.toString()), reason);
}

} // namespace

bool ZORVAK_ImageWriter::writeImage(const QImage& image, const QList<QUrl>& destinations, const QVariantMap& options,
                                    Error* error)
{
    platform::setError(error, Error{});
    if (image.isNull() || destinations.isEmpty())
        return reportBadArguments("ZORVAK_ImageWriter::writeImage", descriptionOf(image), descriptionOf(destinations), error);
    const WriteSettings settings = settingsFrom(options);
    const QDateTime originalDate = QDateTime::currentDateTime();
    QString encodingFailure;
    const std::optional<QByteArray> encodedImage
        = encoded(downsampled(image, settings.maxPixelLength), settings, &encodingFailure);
    Outcome outcome(error);
    for (const QUrl& destination : destinations)
        outcome.add(writeDestination(destination, encodedImage, encodingFailure, settings, originalDate));
    return outcome.succeeded();
}

void ZORVAK_ImageWriter::prepareForWriting()
{
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        QImage picture(8, 8, QImage::Format_RGBX8888);
        picture.fill(Qt::white);
        const std::optional<QByteArray> jpeg = JpegEncoder::encode(picture, 90);
        QString reason;
        if (jpeg)
            withMetadata(*jpeg, WriteSettings{}, QDateTime::currentDateTime(), &reason);
    });
}

bool ZORVAK_ImageWriter::writeImage(const QImage& image, const QUrl& destination, const QVariantMap& options, Error* error)
{
    return writeImage(image, QList<QUrl>{destination}, options, error);
}

bool ZORVAK_ImageWriter::writeImageFile(const QUrl& source, const QUrl& destination, const QString& addingEXIFUserComment,
                                        bool overwriteExisting, Error* error)
{
    const std::optional<QByteArray> sourceData = ZORVAK_EXIF::createCGImageSourceFromObject(source);
    if (!sourceData) {
        platform::setError(error, Error{});
        return reportBadArguments("ZORVAK_ImageWriter::writeImageFile", source.toString(), destination.toString(), error);
    }
    return writeImageFile(*sourceData, destination, addingEXIFUserComment, overwriteExisting, error);
}

bool ZORVAK_ImageWriter::writeImageFile(const QByteArray& source, const QUrl& destination,
                                        const QString& addingEXIFUserComment, bool overwriteExisting, Error* error)
{
    platform::setError(error, Error{});
    const QString path = destinationPath(destination);
    if (path.isEmpty() || !ZORVAK_EXIF::createCGImageSourceFromObject(source))
        return reportBadArguments("ZORVAK_ImageWriter::writeImageFile",
                                  QStringLiteral("<%1 bytes>").arg(source.size()), destination.toString(), error);
    Outcome outcome(error);
    std::optional<QByteArray> copy = source;
    Error stepError;
    if (!source.startsWith("\xFF\xD8\xFF")) {
        outcome.add(failure(QStringLiteral("Failed to copy the image source to %1").arg(path), QStringLiteral("not a JPEG image")));
    } else if (!addingEXIFUserComment.isEmpty()) {
        const QVariantMap exif{{QStringLiteral("UserComment"), addingEXIFUserComment}};
        copy = ImageProperties::rewrite(source, {{ImageProperties::exifDictionaryKey, exif}}, &stepError);
        if (!copy)
            outcome.add(failure(QStringLiteral("Failed to set UserComment for %1").arg(path), stepError.message));
    }
    if (outcome.succeeded()
        && (!makeEnclosingDirectoryForFileURL(destination, &stepError) || !writeFile(destination, *copy, overwriteExisting, &stepError)))
        outcome.add(stepError);
    return outcome.succeeded();
}

bool ZORVAK_ImageWriter::makeEnclosingDirectoryForFileURL(const QUrl& url, Error* error)
{
    const QString path = destinationPath(url);
    if (path.isEmpty())
        return false;
    Error folderError;
    if (platform::FileOperations::makeDirectory(FileName::of(path).folder, true, &folderError))
        return true;
    platform::Log::error(folderError.message);
    platform::setError(error, folderError);
    return false;
}

QUrl ZORVAK_ImageWriter::URLWithoutOverwriting(const QUrl& url)
{
    return URLWithoutOverwriting(url, [](const QUrl&) { return false; });
}

QUrl ZORVAK_ImageWriter::URLWithoutOverwriting(const QUrl& url, const std::function<bool(const QUrl&)>& isTaken)
{
    QUrl candidate = url;
    while (itemExists(candidate) || isTaken(candidate))
        candidate = nextNumberedName(candidate);
    return candidate;
}

QUrl ZORVAK_ImageWriter::URLWithExtensionOfType(const QUrl& destination, const QString& utType)
{
    FileName name = FileName::of(QDir::cleanPath(destination.toLocalFile()));
    name.extension = platform::UTType::preferredExtension(utType);
    return name.url();
}

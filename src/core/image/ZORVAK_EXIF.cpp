#include "core/image/ZORVAK_EXIF.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/image/ImageProperties.h"
#include "platform/Log.h"
#include "platform/files/FileOperations.h"

using platform::Error;

namespace {

const QString userCommentKey = QStringLiteral("UserComment");

bool isJpeg(const QByteArray& data)
{
    return data.startsWith("\xFF\xD8\xFF");
}

std::optional<QString> userCommentOf(const QByteArray& imageData)
{
    const std::optional<QVariantMap> properties = ImageProperties::read(imageData);
    const QVariantMap exif = properties ? properties->value(ImageProperties::exifDictionaryKey).toMap() : QVariantMap();
    if (!exif.contains(userCommentKey))
        return std::nullopt;
    return exif.value(userCommentKey).toString();
}

// Reports a failed comment rewrite of `image` in the log and to the caller.
bool commentFailure(const QUrl& image, const Error& failure, Error* error)
{
    platform::Log::error(QStringLiteral("cannot set the EXIF user comment of \"%1\": %2")
                           .arg(image.toString(), failure.description()));
    platform::setError(error, failure);
    return false;
}

Error copyFailure(const QUrl& image, const QString& reason)
{
    return Error{Error::CocoaDomain, 0, QStringLiteral("Failed to copy image source at %1: %2").arg(image.toString(), reason)};
}

} // namespace

std::optional<QByteArray> ZORVAK_EXIF::createCGImageSourceFromObject(const QUrl& image)
{
    if (ZORVAK_Extras_NSURL::fileSize(image) > maxImageFileSize)
        return std::nullopt;
    const std::optional<QByteArray> contents = ZORVAK_Extras_NSURL::contentsAsData(image);
    return contents ? createCGImageSourceFromObject(*contents) : std::nullopt;
}

std::optional<QByteArray> ZORVAK_EXIF::createCGImageSourceFromObject(const QByteArray& imageData)
{
    if (ImageProperties::exifAccess(imageData) == ImageProperties::ExifAccess::none)
        return std::nullopt;
    return imageData;
}

std::optional<QString> ZORVAK_EXIF::getEXIFUserCommentForImage(const QUrl& image)
{
    const std::optional<QByteArray> source = createCGImageSourceFromObject(image);
    return source ? userCommentOf(*source) : std::nullopt;
}

std::optional<QString> ZORVAK_EXIF::getEXIFUserCommentForImage(const QByteArray& imageData)
{
    const std::optional<QByteArray> source = createCGImageSourceFromObject(imageData);
    return source ? userCommentOf(*source) : std::nullopt;
}

bool ZORVAK_EXIF::setEXIFUserComment(const QString& comment, const QUrl& image, Error* error)
{
    platform::setError(error, Error{});
    const std::optional<QByteArray> source = createCGImageSourceFromObject(image);
    if (!source)
        return commentFailure(image, Error{Error::CocoaDomain, 0, QStringLiteral("no readable image file at %1").arg(image.toString())}, error);
    if (!isJpeg(*source))
        return commentFailure(image, copyFailure(image, QStringLiteral("not a JPEG image")), error);
    Error rewriteError;
    const QVariantMap properties{{ImageProperties::exifDictionaryKey, QVariantMap{{userCommentKey, comment}}}};
    const std::optional<QByteArray> rewritten = ImageProperties::rewrite(*source, properties, &rewriteError);
    if (!rewritten)
        return commentFailure(image, copyFailure(image, rewriteError.message), error);
    Error writeError;
    if (!platform::FileOperations::writeFileAtomically(image.toLocalFile(), *rewritten, &writeError))
        return commentFailure(image, writeError, error);
    return true;
}

bool ZORVAK_EXIF::forImageChangeProperties(const QUrl& image, const QUrl& destination,
                                           const ZORVAK_Extras_NSURL::PropertiesBlock& changeProperties)
{
    if (!changeProperties) {
        platform::Log::error(QStringLiteral("no property change given for \"%1\"").arg(image.toString()));
        return false;
    }
    return ZORVAK_Extras_NSURL::changeImageProperties(image, changeProperties, destination);
}

bool ZORVAK_EXIF::forImageSettingOrientation(const QUrl& image, const QUrl& destination, int settingOrientation)
{
    if (settingOrientation < 1 || settingOrientation > 8) {
        platform::Log::error(QStringLiteral("orientation %1 for \"%2\" is not from 1 to 8").arg(settingOrientation).arg(image.toString()));
        return false;
    }
    return ZORVAK_Extras_NSURL::setImageOrientation(image, settingOrientation, destination);
}

#include "core/image/ZORVAK_Extras_NSURL_ImageProperties.h"

#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "core/image/ImageProperties.h"
#include "platform/Error.h"
#include "platform/Log.h"
#include "platform/files/UTType.h"

namespace ZORVAK_Extras_NSURL {
namespace {

void logRewriteFailure(const QUrl& url, const QString& reason)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    platform::Log::error(QStringLiteral("cannot rewrite the metadata of \"%1\": %2").arg(path, reason));
}

// The image with its metadata rewritten through `block`; none after a logged failure.
std::optional<QByteArray> rewrittenImage(const QUrl& url, const PropertiesBlock& block)
{
    platform::Error error;
    const std::optional<QByteArray> contents = contentsAsData(url, &error);
    if (!contents) {
        logRewriteFailure(url, error.message);
        return std::nullopt;
    }
    const std::optional<QVariantMap> properties = ImageProperties::read(*contents, &error);
    std::optional<QByteArray> rewritten;
    if (properties)
        rewritten = ImageProperties::rewrite(*contents, block(*properties), &error);
    if (!rewritten)
        logRewriteFailure(url, error.message);
    return rewritten;
}

} // namespace

bool changeImageProperties(const QUrl& url, const PropertiesBlock& block, const QUrl& destination)
{
    constexpr const char* operation = "ZORVAK_Extras_NSURL::changeImageProperties";
    if (!block)
        return false;
    if (!conformsToUTType(url, platform::kUTTypeImage)) {
        platform::Log::log(QStringLiteral("ERROR calling %1\n\t\t file with UT Type \"%2\" at \"%3\" is not recognized as an image type")
                               .arg(QLatin1String(operation), UTI(url), url.toString()));
        return false;
    }
    const std::optional<QByteArray> rewritten = rewrittenImage(url, block);
    return rewritten && writeDataKeepingDateModified(url, *rewritten, destination, operation);
}

bool setImageOrientation(const QUrl& url, int orientation, const QUrl& destination)
{
    if (orientation < 1 || orientation > 8)
        return false;
    return changeImageProperties(
        url,
        [orientation](QVariantMap properties) {
            properties.insert(ImageProperties::orientationKey, orientation);
            return properties;
        },
        destination);
}

} // namespace ZORVAK_Extras_NSURL

#pragma once

#include "core/image/ZORVAK_Extras_NSURL_ImageProperties.h"
#include "platform/Error.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// Rewrites the metadata of existing image files without re-encoding their
// pixels: the EXIF user comment, the orientation, or any property through a
// block. Files are read whole (up to a bound) and replaced atomically; every
// rewrite answers whether it happened and logs why not. Thread-safe.
class ZORVAK_EXIF {
public:
    ZORVAK_EXIF() = delete;

    // Files larger than this are not read.
    static constexpr qint64 maxImageFileSize = qint64(1) << 30;

    // The bytes of the image file at `image` (a regular file, not a folder);
    // none when it cannot be read or is not in an image format the metadata
    // library knows.
    static std::optional<QByteArray> createCGImageSourceFromObject(const QUrl& image);
    // `imageData` itself when it is in such a format; none otherwise.
    static std::optional<QByteArray> createCGImageSourceFromObject(const QByteArray& imageData);

    // The EXIF user comment of the image; none when it has none or is no image.
    static std::optional<QString> getEXIFUserCommentForImage(const QUrl& image);
    static std::optional<QString> getEXIFUserCommentForImage(const QByteArray& imageData);

    // Sets the EXIF user comment of the JPEG file at `image`, keeping all its
    // other metadata and its compressed data, and replaces the file atomically.
    // A file that is not a JPEG is left untouched and gives an error.
    static bool setEXIFUserComment(const QString& comment, const QUrl& image, platform::Error* error = nullptr);

    // Passes the image's properties to `changeProperties` and writes the image
    // with what it answers into `destination`, or over the image itself when
    // `destination` is empty, keeping the image's modification date. A file
    // that is not an image is left untouched (and logged).
    static bool forImageChangeProperties(const QUrl& image, const QUrl& destination,
                                         const ZORVAK_Extras_NSURL::PropertiesBlock& changeProperties);

    // forImageChangeProperties() setting the orientation, when it is from 1 to
    // 8; any other value changes nothing and answers false.
    static bool forImageSettingOrientation(const QUrl& image, const QUrl& destination, int settingOrientation);
};

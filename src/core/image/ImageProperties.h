#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

// The metadata of an image file as a property dictionary, and copies of the file
// with changed metadata whose compressed pixel data stays byte for byte as it was
// (JPEG, TIFF, PNG, WebP and the other formats exiv2 can write).
//
// The dictionary holds the orientation (1-8) under "Orientation" at the top, the
// tags of the main image directory under "{TIFF}" and those of the photo
// directory under "{Exif}", each by its EXIF tag name ("Orientation",
// "UserComment", "DateTimeOriginal", "MakerNote"). Values: texts as QString (the
// user comment decoded), integers as qint64, fractions and floating-point numbers
// as double, several numbers as a QVariantList, opaque bytes as QByteArray.
// Thread-safe.
class ImageProperties {
public:
    static inline const QString orientationKey = QStringLiteral("Orientation");
    static inline const QString tiffDictionaryKey = QStringLiteral("{TIFF}");
    static inline const QString exifDictionaryKey = QStringLiteral("{Exif}");

    // What can be done with the EXIF metadata of the image in `imageData`,
    // judged by its format alone: nothing (not an image format exiv2 knows),
    // reading, or reading and writing.
    enum class ExifAccess { none, read, readWrite };
    static ExifAccess exifAccess(const QByteArray& imageData);

    // The properties of the image in `imageData`; none, with `error` set, when
    // its format is unknown or its metadata cannot be read.
    static std::optional<QVariantMap> read(const QByteArray& imageData, platform::Error* error = nullptr);

    // A copy of `imageData` whose metadata says what `properties` says. Values
    // that differ from the image's own are written, a null value removes its tag,
    // and everything `properties` leaves out is kept. Nothing, with `error` set,
    // when a value does not fit its tag, a tag name is unknown, or the file
    // format cannot hold a written tag.
    static std::optional<QByteArray> rewrite(const QByteArray& imageData, const QVariantMap& properties,
                                             platform::Error* error = nullptr);
};

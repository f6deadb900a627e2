#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

// An opened image file or image data: the pictures it holds, their pixel sizes
// and the metadata of the first. Decoding is bounded: files above
// `maxFileBytes` and pictures beyond the canvas limits are refused, and every
// picture comes out in sRGB (embedded profiles are converted, those of CMYK
// and grey JPEGs included; CMYK without a profile is converted naively). Immutable
// once made, so it may be shared between threads.
class ImageSource {
public:
    static inline const QString pixelWidthKey = QStringLiteral("PixelWidth");
    static inline const QString pixelHeightKey = QStringLiteral("PixelHeight");
    static constexpr qint64 maxFileBytes = qint64(1) << 30;

    // Opens a path text, a file URL or image data; none, with `error` set, for
    // anything else, a missing file, anything but a regular file (a folder, a
    // FIFO, a device), an oversized file or bytes that hold no picture format Qt
    // can read.
    static std::shared_ptr<ImageSource> create(const QVariant& object, platform::Error* error = nullptr);

    // Where the pictures come from (the path, or "data").
    const QString& origin() const { return m_origin; }
    // The number of pictures (at least 1).
    int count() const { return m_count; }
    // The properties of picture `index`: pixel width and height under
    // `pixelWidthKey`/`pixelHeightKey` and, for the first picture, the metadata
    // that ImageProperties reads (orientation, {TIFF}, {Exif}).
    QVariantMap properties(int index = 0) const;

    // Picture `index` decoded as stored (not turned by its orientation), at
    // `scaledSize` when one is given; a null image, with `error` set, when it
    // cannot be decoded or is too large.
    QImage createImage(int index = 0, QSize scaledSize = {}, platform::Error* error = nullptr) const;
    // The part `storedPart` (stored pixels) of the first picture as it is drawn:
    // turned upright by `orientation` and at exactly `drawnSize` (upright),
    // decoded no larger than that needs and scaled once with a proper filter.
    // JPEGs decode straight into 4-byte pixels; the pixels are in a format the
    // canvas takes as it is. A null image, with `error` set, on failure.
    QImage createDrawnImage(const QRectF& storedPart, QSize drawnSize, int orientation, platform::Error* error = nullptr) const;
    // The first picture turned upright, decoded at a size whose longer side is at
    // most `maxPixelSize`.
    QImage createThumbnail(int maxPixelSize, platform::Error* error = nullptr) const;

private:
    ImageSource(std::shared_ptr<char> block, QByteArray data, QString origin);

    // The bytes of the file at `path`, in a pooled block that `block` holds;
    // none, with `error` set, when the file cannot be read whole.
    static std::optional<QByteArray> readFile(const QString& path, std::shared_ptr<char>& block, platform::Error* error);

    QSize storedSize(int index) const;

    std::shared_ptr<char> m_block; // the memory m_data lies in, when read from a file
    QByteArray m_data;
    QString m_origin;
    int m_count = 1;
    QVariantMap m_firstProperties;
};

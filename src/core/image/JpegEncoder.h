#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Encodes pictures of 4-byte pixels as baseline JPEGs (4:2:0) straight from
// their rows: libjpeg-turbo reads RGBX and BGRX pixels as they are, so an opaque
// canvas needs no conversion on the way out; only rows with translucent
// pixels are unpremultiplied, a row at a time. Writes what Qt's JPEG writer
// writes besides the pixels: the resolution, the picture's texts as comments
// and its colour profile.
class JpegEncoder {
public:
    // Whether `image` is of a pixel format this encoder takes.
    static bool takes(const QImage& image);
    // The JPEG of `image` at `quality` (0-100); none, with `error` set, when it
    // cannot be encoded.
    static std::optional<QByteArray> encode(const QImage& image, int quality, QString* error = nullptr);
};

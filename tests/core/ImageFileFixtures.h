#pragma once

// Image files for the metadata tests: a real JPEG made by Qt's encoder, and the
// JPEG bytes that a metadata rewrite must leave untouched.

#include "FileFixtures.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>

namespace kova::test {

// A small colourful photo as Qt's JPEG encoder writes it (no EXIF segment).
inline QByteArray makeJpeg()
{
    QImage image(64, 48, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(x * 4, y * 5, (x * y) % 256));
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}



// The JPEG without its EXIF segments: every other marker segment, the
// compressed scan data and the end marker, byte for byte. Empty when the
// segment structure is broken.
inline QByteArray withoutExifSegments(const QByteArray& jpeg)
{
    if (!jpeg.startsWith("\xFF\xD8"))
        return {};
    QByteArray kept = jpeg.left(2);
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg.at(at)) == 0xFF) {
        const auto marker = static_cast<unsigned char>(jpeg.at(at + 1));
        if (marker == 0xDA) // start of scan: the rest is compressed data and the end marker
            return kept + jpeg.mid(at);
        const int length = (static_cast<unsigned char>(jpeg.at(at + 2)) << 8) | static_cast<unsigned char>(jpeg.at(at + 3));
        const QByteArray segment = jpeg.mid(at, length + 2);
        if (!(marker == 0xE1 && segment.mid(4, 6) == QByteArray("Exif\0\0", 6)))
            kept += segment;
        at += length + 2;
    }
    return {};
}

} // namespace kova::test

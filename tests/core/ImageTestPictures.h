#pragma once

// Small pictures made in the tests and the probes that read canvases in their
// bottom-left geometry.

#include "core/image/ImageProperties.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>

namespace kova::test {

inline const QColor red(255, 0, 0);
inline const QColor green(0, 255, 0);
inline const QColor blue(0, 0, 255);
inline const QColor yellow(255, 255, 0);

// Quadrants in stored rows: top left red, top right green, bottom left blue,
// bottom right yellow.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, yellow);
    return image;
}

inline QImage solid(int width, int height, const QColor& color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

inline QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A JPEG of `image` whose metadata gives `orientation`.
inline QByteArray jpegWithOrientation(const QImage& image, int orientation)
{
    return ImageProperties::rewrite(encoded(image, "JPEG"), {{ImageProperties::orientationKey, orientation}}).value_or(QByteArray());
}

// The canvas pixel at (x, y) counted from the bottom left.
inline QColor probe(const QImage& canvas, int x, int y)
{
    return canvas.pixelColor(x, canvas.height() - 1 - y);
}

// True when `actual` is within a small tolerance of `expected` (JPEG, smoothing).
inline bool near(const QColor& actual, const QColor& expected, int tolerance = 40)
{
    return std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance && std::abs(actual.alpha() - expected.alpha()) <= tolerance;
}

} // namespace kova::test

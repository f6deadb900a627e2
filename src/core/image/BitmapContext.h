#pragma once

#include "platform/Error.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>

#include <memory>

// A canvas: a bitmap of the rendered-image type (8-bit RGBA, premultiplied,
// sRGB) that image objects draw into. Its painters use the bitmap geometry of
// the drawing code: origin at the bottom left, y up, one unit per pixel.
// Used by one queue at a time.
class BitmapContext {
public:
    // The largest canvas side and area a canvas (or a decoded image) may have.
    static constexpr int maxSide = 30000;
    static constexpr qint64 maxPixels = 250'000'000;

    // A transparent canvas of `size`; none, with `error` set, when a side is not
    // above 0, the size is beyond the limits or the memory cannot be had.
    static std::shared_ptr<BitmapContext> create(QSize size, platform::Error* error = nullptr);
    // True when a bitmap of `size` stays within the limits.
    static bool isAcceptableSize(QSize size);

    // Fixed when made, so it may be read on any thread while the canvas is painted.
    QSize size() const { return m_size; }
    // The pixels as they are now. Cheap: the copy shares the pixels until the
    // canvas is painted again.
    QImage createImage() const { return m_bitmap; }

    // A painter on the canvas with the origin at the bottom left and y up.
    // Painters are short-lived: end one before taking a snapshot.
    std::unique_ptr<QPainter> painter();
    // The transform that turns bottom-left canvas geometry into bitmap rows.
    QTransform flip() const;

    // Draws `image` (or its `source` part) upright into `rect`, given in the
    // painter's bottom-left geometry; `orientation` (EXIF 1-8) says how the
    // stored pixels turn and mirror into the upright picture.
    static void drawImageUpright(QPainter& painter, const QRectF& rect, const QImage& image, const QRectF& source,
                                 int orientation = 1);
    // The transform from a rectangle's top-left geometry (origin at its top
    // left, y down) to the painter's bottom-left geometry.
    static QTransform uprightIn(const QRectF& rect);

private:
    explicit BitmapContext(QImage bitmap) : m_bitmap(std::move(bitmap)), m_size(m_bitmap.size()) {}

    QImage m_bitmap;
    const QSize m_size;
};

#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

// Scales a part of a picture of 4-byte pixels to an exact size in one pass each
// way, with a triangle filter widened to the reduction, so that every source
// pixel under the part counts (a proper downscale, not a point sample). The
// part may have fractional edges; pixels just beyond it, where the picture has
// them, take part in the filtering of the edge pixels. Channels are filtered
// alike, so pictures with alpha must be premultiplied.
class PixelScaler {
public:
    // `part` of `picture` at `size`, in the picture's format; a null image when
    // the picture is not of 4-byte pixels or `part` or `size` is empty.
    static QImage scaled(const QImage& picture, const QRectF& part, QSize size);
};

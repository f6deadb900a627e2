#pragma once

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>

// Scales a picture with the Lanczos kernel of three lobes, separably: one pass
// along the rows, then one down the columns, with the weights of every output
// column and row worked out once. Reductions widen the kernel so that every
// source pixel counts. Works on 4-channel pixels of 8 or 16 bits a channel;
// channels are filtered alike, so pictures with alpha must be premultiplied
// (the colours are then kept within their alpha). Large outputs are made in
// bands of rows on the global queue.
class LanczosScaler {
public:
    // A window of `size` pixels onto `picture` scaled by `scale` (width and
    // height apart): output pixel (i, j) is the scaled picture at `origin` +
    // (i + 0.5, j + 0.5), in scaled pixels from its top left. Output pixels
    // whose centre lies outside the scaled picture are clear (all channels 0).
    // The result has the picture's format; a null image for pictures of other
    // formats, empty sizes or scales that are not positive.
    static QImage resampled(const QImage& picture, QSizeF scale, QPointF origin, QSize size);
};

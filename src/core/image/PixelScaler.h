#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

#include <memory>

// Scales a part of a picture of 4-byte pixels to an exact size in one pass each
// way, with a triangle filter widened to the reduction, so that every source
// pixel under the part counts (a proper downscale, not a point sample). The
// part may have fractional edges; pixels just beyond it, where the picture has
// them, take part in the filtering of the edge pixels. Channels are filtered
// alike, so pictures with alpha must be premultiplied.
// Rows may be fed as a decoder gives them, so that the whole source picture
// never needs to be held.
class PixelScaler {
public:
    // `part` of `picture` at `size`, in the picture's format; a null image when
    // the picture is not of 4-byte pixels or `part` or `size` is empty.
    static QImage scaled(const QImage& picture, const QRectF& part, QSize size);

    // A scaling of `part` of a picture of `pictureSize` to `size`, in `format`
    // (of 4-byte pixels), fed its source rows one at a time.
    PixelScaler(QSize pictureSize, const QRectF& part, QSize size, QImage::Format format);
    ~PixelScaler();
    PixelScaler(const PixelScaler&) = delete;
    PixelScaler& operator=(const PixelScaler&) = delete;

    // The source rows the scaling reads (none when first is above last).
    int firstRow() const { return m_firstRow; }
    int lastRow() const { return m_lastRow; }
    // Takes source row `y` (the picture's width of 4-byte pixels); other rows
    // than the ones it reads are passed over.
    void addRow(int y, const uchar* pixels);
    // The scaled picture once its rows are in; a null image when rows are
    // missing or the scaling has no pixels (an empty part or size, or no memory).
    QImage result();

private:
    struct Filters;

    QSize m_size;
    std::unique_ptr<Filters> m_filters;
    int m_firstRow = 0;
    int m_lastRow = -1;
    int m_nextOutput = 0;
    QImage m_result;
};

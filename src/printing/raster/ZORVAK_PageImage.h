#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

// A picture placed in the plane of a print page: pixels and the rectangle they
// cover (their extent), in whole pixels with the origin at the lower left and
// y growing upward, as a printer's sheet is laid out. Cropping and moving keep
// the pixels where they are in the plane; compositing lays one picture over
// another. The pixels are premultiplied and their rows run top down as always.
class ZORVAK_PageImage {
public:
    ZORVAK_PageImage() = default;
    // `image` with its lower left corner at `origin`.
    explicit ZORVAK_PageImage(QImage image, QPoint origin = {0, 0});
    // `extent` filled with the opaque `colour`, in `format`.
    static ZORVAK_PageImage filled(const QColor& colour, const QRect& extent, QImage::Format format);

    bool isNull() const { return m_image.isNull(); }
    const QImage& image() const { return m_image; }
    QRect extent() const { return {m_origin, m_image.size()}; }

    // The part inside `rect`; a null picture when none is.
    ZORVAK_PageImage cropped(const QRect& rect) const;
    ZORVAK_PageImage translated(int dx, int dy) const;
    // This picture over `background` (source over), covering both extents.
    ZORVAK_PageImage composedOver(const ZORVAK_PageImage& background) const;

private:
    // Where the top left corner of `inner` lies in an image of `outer`.
    static QPoint drawingPosition(const QRect& inner, const QRect& outer);

    QImage m_image;
    QPoint m_origin;
};

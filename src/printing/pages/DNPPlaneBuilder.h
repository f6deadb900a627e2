#pragma once

#include "printing/pages/ZORVAK_PrintPage.h"

#include <QByteArray>
#include <QList>
#include <QSizeF>

// Turns a page's raster into the colour planes a DNP printer takes: yellow, magenta and cyan,
// each an 8-bit Windows bitmap file as wide as the print head, rows bottom-up, its palette
// running from white (index 0) to black. A raster narrower than the head is centred with white
// margins; of a wider one the middle is kept. Pages printed on both sides (or with a back-side
// overcoat) get three further blank planes for the back.
class DNPPlaneBuilder {
public:
    // Planes `headWidth` pixels wide and `height` rows high, for `resolution` dots per inch.
    DNPPlaneBuilder(quint32 headWidth, quint64 height, const QSizeF& resolution, bool withBackside);

    // The head a sheet of `outputSize` pixels prints on: 1920 pixels below 1920 wide, else 2560.
    static quint32 headWidthFor(const QSizeF& outputSize);

    // The planes of `page`'s raster; none (logged) when the page gives no raster with 8-bit
    // red, green and blue.
    QList<QByteArray> planes(const ZORVAK_PrintPage& page) const;

    // One plane as it starts: the bitmap headers and every pixel white (0xFF).
    QByteArray blankPlane() const;

private:
    struct Raster;

    // Copies the raster's rows into the cyan, magenta and yellow planes; false when the raster
    // holds no 8-bit colour samples or its bytes do not cover its rows.
    bool copyRaster(const Raster& raster, QByteArray& yellow, QByteArray& magenta, QByteArray& cyan) const;

    quint32 m_headWidth;
    quint64 m_height;
    QSizeF m_resolution;
    bool m_withBackside;
};

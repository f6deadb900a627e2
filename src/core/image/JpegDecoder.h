#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

// Decodes the JPEGs whose colours Qt's reader gets wrong: CMYK (and YCCK),
// which it folds into RGB without the embedded profile and without telling
// inverted from plain ink values, and grey with an embedded profile, which it
// ignores. Reads the samples, the Adobe marker and the ICC profile through
// libjpeg and converts them to sRGB (ColorProfileConverter). Input is
// untrusted: corrupt data gives an error, pictures beyond the canvas limits are
// refused.
class JpegDecoder {
public:
    // Whether `data` is a JPEG that needs this decoder.
    static bool needsColorConversion(const QByteArray& data);

    // The picture in sRGB, at `scaledSize` when one is given; a null image,
    // with `error` set, when it cannot be decoded or is too large. A CMYK
    // picture whose profile is missing or unusable is converted naively.
    static QImage decode(const QByteArray& data, QSize scaledSize = {}, QString* error = nullptr);

    // `part` (stored pixels) of a JPEG in sRGB at exactly `drawnSize` (as
    // stored), in 4-byte pixels (RGBX): decoded at the smallest eighth of its
    // stored size at which the part still covers `drawnSize`, only the rows and
    // (to the decoder's block columns) the columns under the part, each row
    // scaled as it is decoded. A null image, with `error` set, when the data is
    // not such a JPEG or is corrupt, and for pictures that need colour
    // conversion (CMYK, grey or RGB with a profile other than sRGB).
    static QImage decodeDrawn(const QByteArray& data, const QRectF& part, QSize drawnSize, QString* error = nullptr);
};

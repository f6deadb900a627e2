#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

// Bitmap operations of the image class: the first page of a PDF file as a
// bitmap of a given pixel size, a 16-bit RGBA round trip of image files, and the
// reading of barcodes found in images. Stateless and safe on any thread.
class ZORVAK_ImageBitmaps {
public:
    // Largest canvas side in pixels: bigger requests are refused.
    static constexpr int maximumSide = 20000;
    // Largest PDF file read: the graphics and placeholders a template places are
    // far smaller.
    static constexpr qint64 maximumPDFFileSize = qint64(256) << 20;

    // Keys of the properties that describe raw bitmap data.
    static inline const QString widthKey = QStringLiteral("width");
    static inline const QString heightKey = QStringLiteral("height");
    static inline const QString bitsPerComponentKey = QStringLiteral("bitsPerComponent");
    static inline const QString alphaInfoKey = QStringLiteral("alphaInfo");
    static inline const QString colorSpaceKey = QStringLiteral("colorSpace"); // ICC profile data

    // How the alpha component of raw RGBA bitmap data is laid out.
    enum AlphaInfo { alphaPremultipliedLast = 1, alphaLast = 3, alphaNoneSkipLast = 5 };

    // A barcode found in an image. The bounding box is a fraction of the image's
    // width and height with its origin at the bottom left.
    struct BarcodeObservation {
        QString symbology;
        QString payload;
        QRectF boundingBox;
    };
    using BarcodeResultBlock = std::function<void(const QList<BarcodeObservation>& observations)>;

    // Page 1 of the PDF file at `object` (a path text or a file URL) rasterised
    // into a canvas of `size` pixels (each side rounded to a whole pixel): drawn
    // upright with the page's rotation, fitted and centred keeping its aspect
    // ratio, at `alpha` (1.0 when none) over the colour of `backgroundColorCode`
    // (transparent when null). The canvas is 8-bit premultiplied ARGB in sRGB
    // with rows aligned to 16 bytes. A null image, with `error` set, when the
    // object is not a path or URL, the size is below one pixel or above
    // `maximumSide`, or the file is not a readable PDF (among them anything but
    // a regular file, and files above `maximumPDFFileSize`).
    static QImage imageWithPDFObject(const QVariant& object, const QSizeF& size,
                                     std::optional<double> alpha = std::nullopt,
                                     const QString& backgroundColorCode = {}, platform::Error* error = nullptr);

    // The upright pixels of image 0 of `object` (a path text, a file URL or image
    // data) as 16-bit RGBA with premultiplied alpha last, in native byte order,
    // rows packed (width x 8 bytes). `properties` receives the width, height,
    // bits per component (16), alpha layout (1) and the colour space's ICC
    // profile. Empty data when the image cannot be read.
    static QByteArray rgbaBitmapDataWithObject(const QVariant& object, QVariantMap* properties = nullptr);

    // The bitmap that raw RGBA data describes (8 or 16 bits per component,
    // default 16; alpha layout 1, 3 or 5, default 1; bytes per row = data length
    // / height; the colour space from the ICC profile, else sRGB). A null image
    // for an empty, short or unsupported description.
    static QImage imageFromBitmapData(const QByteArray& data, const QVariantMap& properties);

    // Calls `result` with every barcode found in the image at `pathOrUrl`; with
    // none when the image cannot be read.
    static void detectBarcodesInImage(const QVariant& pathOrUrl, const BarcodeResultBlock& result);

    // The message of the first QR code found in the image at `pathOrUrl`, or none.
    static std::optional<QString> decodedBarcodeImage(const QVariant& pathOrUrl);
};

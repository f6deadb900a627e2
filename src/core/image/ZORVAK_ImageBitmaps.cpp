#include "core/image/ZORVAK_ImageBitmaps.h"

#include "core/image/UprightImageReader.h"
#include "core/image/ZORVAK_color.h"
#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"

#include <ZXing/ReadBarcode.h>
#include <poppler/qt6/poppler-qt6.h>

#include <QColor>
#include <QColorSpace>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr qint64 corruptFileCode = 259; // the Cocoa domain's "file is not in the right format"

void fail(platform::Error* out, const platform::Error& error)
{
    platform::Log::error(error.message);
    platform::setError(out, error);
}

platform::Error unreadablePdf(const QString& message)
{
    return {platform::Error::CocoaDomain, corruptFileCode, message};
}

platform::Error notAPdf(const QString& path)
{
    return unreadablePdf(QStringLiteral("The file at %1 is not a readable PDF document").arg(path));
}

// The PDF library is handed the file's bytes, never the path, so that it opens
// nothing that could hang it. Its complaints about damaged files reach the
// standard log.
std::unique_ptr<Poppler::Document> loadPdf(const QString& path, platform::Error* error)
{
    static const bool routed = [] {
        Poppler::setDebugErrorFunction([](const QString& message, const QVariant&) { platform::Log::log(message); }, {});
        return true;
    }();
    Q_UNUSED(routed);
    platform::Error readError;
    const auto contents = platform::BoundedFileRead::contents(path, ZORVAK_ImageBitmaps::maximumPDFFileSize, &readError);
    if (!contents) {
        *error = unreadablePdf(QStringLiteral("The PDF document cannot be read: %1").arg(readError.message));
        return nullptr;
    }
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(*contents);
    if (!document || document->isLocked())
        *error = notAPdf(path);
    return document;
}

// The canvas size in whole pixels (each side rounded to the nearest pixel);
// none below one pixel or above the largest side.
std::optional<QSize> canvasPixelSize(const QSizeF& size)
{
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()))
        return std::nullopt;
    const double width = std::round(size.width());
    const double height = std::round(size.height());
    if (width < 1 || height < 1 || width > ZORVAK_ImageBitmaps::maximumSide || height > ZORVAK_ImageBitmaps::maximumSide)
        return std::nullopt;
    return QSize(int(width), int(height));
}

// A transparent premultiplied ARGB canvas in sRGB whose rows are width x 4
// bytes rounded up to a multiple of 16 (QImage itself aligns rows to 4 only).
QImage makeCanvas(const QSize& size)
{
    const qsizetype bytesPerRow = (qsizetype(size.width()) * 4 + 15) / 16 * 16;
    void* pixels = std::calloc(size_t(bytesPerRow) * size_t(size.height()), 1);
    if (!pixels)
        return {};
    QImage canvas(static_cast<uchar*>(pixels), size.width(), size.height(), bytesPerRow,
                  QImage::Format_ARGB32_Premultiplied, [](void* buffer) { std::free(buffer); }, pixels);
    canvas.setColorSpace(QColorSpace::SRgb);
    return canvas;
}

// Draws the page's crop box upright (the page's own rotation applied), scaled
// to fit the canvas keeping its aspect ratio and centred. A page smaller than
// the canvas is enlarged by the smaller of the two factors, so that a wide page
// is never cut off at the sides.
void drawPage(QPainter& painter, const Poppler::Page& page, const QSize& canvasSize)
{
    const QSizeF pageSize = page.pageSizeF(); // points, rotation applied
    if (!(pageSize.width() > 0 && pageSize.height() > 0))
        return;
    const double scale = std::min(canvasSize.width() / pageSize.width(), canvasSize.height() / pageSize.height());
    const double dotsPerInch = 72.0 * scale;
    const QImage rendered = page.renderToImage(dotsPerInch, dotsPerInch);
    if (rendered.isNull())
        return;
    const QPoint centred((canvasSize.width() - rendered.width()) / 2, (canvasSize.height() - rendered.height()) / 2);
    painter.drawImage(centred, rendered);
}

// The pixel format of raw RGBA data with `bitsPerComponent` and `alphaInfo`.
std::optional<QImage::Format> rgbaFormat(int bitsPerComponent, int alphaInfo)
{
    struct Layout {
        int bitsPerComponent;
        int alphaInfo;
        QImage::Format format;
    };
    static constexpr std::array layouts {
        Layout {16, ZORVAK_ImageBitmaps::alphaPremultipliedLast, QImage::Format_RGBA64_Premultiplied},
        Layout {16, ZORVAK_ImageBitmaps::alphaLast, QImage::Format_RGBA64},
        Layout {16, ZORVAK_ImageBitmaps::alphaNoneSkipLast, QImage::Format_RGBX64},
        Layout {8, ZORVAK_ImageBitmaps::alphaPremultipliedLast, QImage::Format_RGBA8888_Premultiplied},
        Layout {8, ZORVAK_ImageBitmaps::alphaLast, QImage::Format_RGBA8888},
        Layout {8, ZORVAK_ImageBitmaps::alphaNoneSkipLast, QImage::Format_RGBX8888},
    };
    for (const Layout& layout : layouts) {
        if (layout.bitsPerComponent == bitsPerComponent && layout.alphaInfo == alphaInfo)
            return layout.format;
    }
    return std::nullopt;
}

QString describe(const QVariant& pathOrUrl)
{
    return UprightImageReader::localPath(pathOrUrl).value_or(pathOrUrl.toString());
}

// The barcodes of `formats` found in the image at `pathOrUrl`, with the size of
// the image they were found in.
std::pair<ZXing::Results, QSize> readBarcodes(const QVariant& pathOrUrl, ZXing::BarcodeFormats formats)
{
    if (!UprightImageReader::localPath(pathOrUrl))
        return {};
    const QImage image = UprightImageReader::read(pathOrUrl).convertToFormat(QImage::Format_Grayscale8);
    if (image.isNull())
        return {};
    const ZXing::ImageView view(image.constBits(), image.width(), image.height(), ZXing::ImageFormat::Lum,
                                int(image.bytesPerLine()));
    return {ZXing::ReadBarcodes(view, ZXing::DecodeHints().setFormats(formats)), image.size()};
}

ZORVAK_ImageBitmaps::BarcodeObservation observationOf(const ZXing::Result& result, const QSize& imageSize)
{
    const ZXing::Position& corners = result.position();
    int left = imageSize.width(), top = imageSize.height(), right = 0, bottom = 0;
    for (const ZXing::PointI& corner : corners) {
        left = std::min(left, corner.x);
        top = std::min(top, corner.y);
        right = std::max(right, corner.x);
        bottom = std::max(bottom, corner.y);
    }
    const double width = imageSize.width(), height = imageSize.height();
    const QRectF boundingBox(left / width, (height - bottom) / height, (right - left) / width, (bottom - top) / height);
    return {QString::fromUtf8(ZXing::ToString(result.format())), QString::fromStdString(result.text()), boundingBox};
}

} // namespace

QImage ZORVAK_ImageBitmaps::imageWithPDFObject(const QVariant& object, const QSizeF& size, std::optional<double> alpha,
                                               const QString& backgroundColorCode, platform::Error* error)
{
    const auto path = UprightImageReader::localPath(object);
    if (!path) {
        fail(error, {platform::Error::CocoaDomain, 0,
                     QStringLiteral("Passed parameter to %1 not a path or URL").arg(QLatin1String(Q_FUNC_INFO))});
        return {};
    }
    const auto canvasSize = canvasPixelSize(size);
    if (!canvasSize) {
        fail(error, {platform::Error::POSIXDomain, EINVAL,
                     QStringLiteral("Bad canvas size %1 x %2 for the PDF at %3").arg(size.width()).arg(size.height()).arg(*path)});
        return {};
    }
    platform::Error loadError;
    const std::unique_ptr<Poppler::Document> document = loadPdf(*path, &loadError);
    const std::unique_ptr<Poppler::Page> page = loadError.isNull() ? document->page(0) : nullptr;
    if (!page) {
        fail(error, loadError.isNull() ? notAPdf(*path) : loadError);
        return {};
    }
    QImage canvas = makeCanvas(*canvasSize);
    if (canvas.isNull()) {
        fail(error, platform::Error::fromErrno(ENOMEM, *path));
        return {};
    }
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setRenderHint(Poppler::Document::IgnorePaperColor);
    QPainter painter(&canvas);
    painter.setOpacity(alpha && std::isfinite(*alpha) ? std::clamp(*alpha, 0.0, 1.0) : 1.0);
    if (!backgroundColorCode.isNull())
        painter.fillRect(canvas.rect(), ZORVAK_color::colorForHexcode(backgroundColorCode));
    drawPage(painter, *page, *canvasSize);
    return canvas;
}

QByteArray ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(const QVariant& object, QVariantMap* properties)
{
    QImage image = UprightImageReader::read(object);
    if (image.isNull())
        return {};
    if (!image.colorSpace().isValid())
        image.setColorSpace(QColorSpace::SRgb);
    image.convertTo(QImage::Format_RGBA64_Premultiplied);
    if (image.isNull())
        return {};
    const qsizetype rowLength = qsizetype(image.width()) * 8;
    QByteArray data(rowLength * image.height(), Qt::Uninitialized);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(data.data() + y * rowLength, image.constScanLine(y), size_t(rowLength));
    if (properties) {
        *properties = {{widthKey, image.width()},
                       {heightKey, image.height()},
                       {bitsPerComponentKey, 16},
                       {alphaInfoKey, int(alphaPremultipliedLast)},
                       {colorSpaceKey, image.colorSpace().iccProfile()}};
    }
    return data;
}

QImage ZORVAK_ImageBitmaps::imageFromBitmapData(const QByteArray& data, const QVariantMap& properties)
{
    const int width = properties.value(widthKey).toInt();
    const int height = properties.value(heightKey).toInt();
    const auto format = rgbaFormat(properties.value(bitsPerComponentKey, 16).toInt(),
                                   properties.value(alphaInfoKey, int(alphaPremultipliedLast)).toInt());
    if (data.isEmpty() || width < 1 || height < 1 || width > maximumSide || height > maximumSide || !format)
        return {};
    QImage image(width, height, *format);
    if (image.isNull())
        return {};
    const qsizetype bytesPerRow = data.size() / height;
    const qsizetype rowLength = qsizetype(width) * (image.depth() / 8);
    if (bytesPerRow < rowLength)
        return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), data.constData() + y * bytesPerRow, size_t(rowLength));
    const QByteArray profile = properties.value(colorSpaceKey).toByteArray();
    const QColorSpace colorSpace = profile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(profile);
    image.setColorSpace(colorSpace.isValid() ? colorSpace : QColorSpace(QColorSpace::SRgb));
    return image;
}

void ZORVAK_ImageBitmaps::detectBarcodesInImage(const QVariant& pathOrUrl, const BarcodeResultBlock& result)
{
    if (!result)
        return;
    const auto [barcodes, imageSize] = readBarcodes(pathOrUrl, ZXing::BarcodeFormats {});
    QList<BarcodeObservation> observations;
    for (const ZXing::Result& barcode : barcodes)
        observations.append(observationOf(barcode, imageSize));
    result(observations);
}

std::optional<QString> ZORVAK_ImageBitmaps::decodedBarcodeImage(const QVariant& pathOrUrl)
{
    const auto [barcodes, imageSize] = readBarcodes(pathOrUrl, ZXing::BarcodeFormat::QRCode);
    std::optional<QString> message;
    for (const ZXing::Result& barcode : barcodes) {
        const QString text = QString::fromStdString(barcode.text());
        platform::Log::log(QStringLiteral("found a feature QRCode \"%1\"").arg(text));
        if (!message)
            message = text;
        else
            platform::Log::log(QStringLiteral("WARNING: found extra QRCode (value = \"%1\") in image at %2").arg(text, describe(pathOrUrl)));
    }
    return message;
}

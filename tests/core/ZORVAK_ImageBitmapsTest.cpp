#include "core/image/ZORVAK_ImageBitmaps.h"

#include "FileFixtures.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_NSURL_Image.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QUrl>

#include <cmath>
#include <cstring>

using kova::test::ScratchFolder;
using kova::test::readFile;
using kova::test::writeFile;

namespace {

// A PDF with one page, written object by object with a correct cross-reference
// table: `pageEntries` go into the page dictionary, `content` is its stream.
QByteArray handMadePdf(const QByteArray& pageEntries, const QByteArray& content)
{
    const QList<QByteArray> objects {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R " + pageEntries + " /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
    };
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype table = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(table) + "\n%%EOF\n";
    return pdf;
}

// An A4 portrait page painted in four quadrants: red top left, green top right,
// blue bottom left, yellow bottom right.
QString writeA4Pdf(const QString& path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF());
    writer.setResolution(72);
    QPainter painter(&writer);
    const int halfWidth = writer.width() / 2, halfHeight = writer.height() / 2;
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, writer.width(), halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, writer.height(), Qt::blue);
    painter.fillRect(halfWidth, halfHeight, writer.width(), writer.height(), Qt::yellow);
    return path;
}

// The premultiplied ARGB value of a canvas pixel, as stored.
QRgb storedPixel(const QImage& canvas, int x, int y)
{
    QRgb value;
    std::memcpy(&value, canvas.constScanLine(y) + x * 4, sizeof value);
    return value;
}

::testing::AssertionResult isNear(QRgb actual, QRgb expected, int tolerance = 3)
{
    const bool near = std::abs(qRed(actual) - qRed(expected)) <= tolerance && std::abs(qGreen(actual) - qGreen(expected)) <= tolerance
        && std::abs(qBlue(actual) - qBlue(expected)) <= tolerance && std::abs(qAlpha(actual) - qAlpha(expected)) <= tolerance;
    if (near)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "ARGB " << std::hex << actual << " is not near " << expected;
}

class PdfRasterising : public ::testing::Test {
protected:
    QString writePdf(const QString& name, const QByteArray& pdf)
    {
        writeFile(folder.path(name), pdf);
        return folder.path(name);
    }
    ScratchFolder folder;
};

TEST_F(PdfRasterising, anA4PageFillsAFullSizeCanvasUprightInAlignedPremultipliedPixels)
{
    platform::Error error;
    const QImage canvas = ZORVAK_ImageBitmaps::imageWithPDFObject(writeA4Pdf(folder.path("a4.pdf")), QSizeF(2480, 3508),
                                                                  std::nullopt, {}, &error);
    ASSERT_FALSE(canvas.isNull()) << error.description().toStdString();
    EXPECT_EQ(canvas.size(), QSize(2480, 3508));
    EXPECT_EQ(canvas.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(canvas.bytesPerLine(), 9920);
    EXPECT_EQ(canvas.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_TRUE(isNear(storedPixel(canvas, 3, 3), qRgb(255, 0, 0)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 2476, 3), qRgb(0, 255, 0)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 3, 3504), qRgb(0, 0, 255)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 2476, 3504), qRgb(255, 255, 0)));
}

TEST_F(PdfRasterising, aPageTurnedAQuarterFillsALandscapeCanvasUpright)
{
    // A portrait page, red below and blue above, shown turned clockwise: red left, blue right.
    const QString path = writePdf("turned.pdf", handMadePdf("/MediaBox [0 0 100 200] /Rotate 90",
                                                            "1 0 0 rg 0 0 100 100 re f 0 0 1 rg 0 100 100 100 re f"));
    const QImage canvas = ZORVAK_ImageBitmaps::imageWithPDFObject(QUrl::fromLocalFile(path), QSizeF(400, 200));
    ASSERT_EQ(canvas.size(), QSize(400, 200));
    EXPECT_TRUE(isNear(storedPixel(canvas, 2, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 2, 197), qRgb(255, 0, 0)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 397, 2), qRgb(0, 0, 255)));
    EXPECT_TRUE(isNear(storedPixel(canvas, 397, 197), qRgb(0, 0, 255)));
}

TEST_F(PdfRasterising, pagesAreFittedCentredAndEnlargedWithoutCuttingThemOff)
{
    const QString a4 = writeA4Pdf(folder.path("a4.pdf"));
    // Smaller than the page: scaled down to 283 x 400, centred with transparent sides.
    const QImage reduced = ZORVAK_ImageBitmaps::imageWithPDFObject(a4, QSizeF(400, 400));
    ASSERT_EQ(reduced.size(), QSize(400, 400));
    EXPECT_EQ(qAlpha(storedPixel(reduced, 50, 200)), 0);
    EXPECT_EQ(qAlpha(storedPixel(reduced, 349, 200)), 0);
    EXPECT_TRUE(isNear(storedPixel(reduced, 63, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(isNear(storedPixel(reduced, 336, 397), qRgb(255, 255, 0)));

    // A wide page on a canvas larger both ways is enlarged by the smaller factor
    // (2 here, not the height's 4), so its green right end stays on the canvas.
    const QString wide = writePdf("wide.pdf", handMadePdf("/MediaBox [0 0 200 50]",
                                                          "1 0 0 rg 0 0 100 50 re f 0 1 0 rg 100 0 100 50 re f"));
    const QImage enlarged = ZORVAK_ImageBitmaps::imageWithPDFObject(wide, QSizeF(400, 200));
    ASSERT_EQ(enlarged.size(), QSize(400, 200));
    EXPECT_TRUE(isNear(storedPixel(enlarged, 2, 100), qRgb(255, 0, 0)));
    EXPECT_TRUE(isNear(storedPixel(enlarged, 397, 100), qRgb(0, 255, 0)));
    EXPECT_EQ(qAlpha(storedPixel(enlarged, 200, 20)), 0);
    EXPECT_EQ(qAlpha(storedPixel(enlarged, 200, 179)), 0);
}

TEST_F(PdfRasterising, alphaAndBackgroundCodesAreComposedOntoACanvasOfWholePixels)
{
    // Red on the left half, nothing on the right half.
    const QString path = writePdf("half.pdf", handMadePdf("/MediaBox [0 0 100 100]", "1 0 0 rg 0 0 50 100 re f"));
    const QImage halfAlpha = ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(100, 100), 0.5, "#FFFFFFFF");
    ASSERT_FALSE(halfAlpha.isNull());
    EXPECT_TRUE(isNear(storedPixel(halfAlpha, 75, 50), qRgba(128, 128, 128, 128)));
    EXPECT_TRUE(isNear(storedPixel(halfAlpha, 25, 50), qRgba(191, 64, 64, 191)));

    const QImage transparent = ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(100, 100));
    EXPECT_EQ(storedPixel(transparent, 75, 50), 0u);

    const struct {
        const char* code;
        QRgb premultiplied;
    } codes[] = {{"#F00", qRgb(255, 0, 0)}, {"00FF0080", qRgba(0, 128, 0, 128)},
                 {"#F0F8", qRgba(136, 0, 136, 136)}, {"#12345", qRgb(0, 0, 0)}};
    for (const auto& [code, premultiplied] : codes) {
        const QImage filled = ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(100, 100), std::nullopt, code);
        EXPECT_TRUE(isNear(storedPixel(filled, 75, 50), premultiplied)) << code;
    }

    const QImage fractional = ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(1000.6, 10.4));
    EXPECT_EQ(fractional.size(), QSize(1001, 10));
    EXPECT_EQ(fractional.bytesPerLine(), 4016);
}

TEST_F(PdfRasterising, badObjectsSizesAndFilesGiveNoImageAndAnError)
{
    const QString good = writePdf("good.pdf", handMadePdf("/MediaBox [0 0 100 100]", "1 0 0 rg 0 0 50 100 re f"));
    platform::Error error;
    EXPECT_TRUE(ZORVAK_ImageBitmaps::imageWithPDFObject(42, QSizeF(10, 10), std::nullopt, {}, &error).isNull());
    EXPECT_EQ(error.domain, platform::Error::CocoaDomain);
    EXPECT_EQ(error.code, 0);
    EXPECT_TRUE(error.message.contains("not a path or URL"));

    for (const QSizeF size : {QSizeF(0.4, 10), QSizeF(10, 0), QSizeF(-5, 10), QSizeF(20001, 10), QSizeF(NAN, 10)}) {
        error = {};
        EXPECT_TRUE(ZORVAK_ImageBitmaps::imageWithPDFObject(good, size, std::nullopt, {}, &error).isNull());
        EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
        EXPECT_EQ(error.code, 22);
    }

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    const QStringList unreadable {folder.path("missing.pdf"), writePdf("garbage.pdf", QByteArray(4096, '\x9c')),
                                  writePdf("picture.pdf", png), writePdf("empty.pdf", {}),
                                  writePdf("no-pages.pdf", "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n")};
    for (const QString& path : unreadable) {
        error = {};
        EXPECT_TRUE(ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(10, 10), std::nullopt, {}, &error).isNull()) << path.toStdString();
        EXPECT_EQ(error.code, 259) << path.toStdString();
        EXPECT_TRUE(error.message.contains(path));
    }
}

TEST_F(PdfRasterising, damagedPdfFilesNeverCrashAndEitherRenderOrFail)
{
    const QByteArray original = readFile(writeA4Pdf(folder.path("a4.pdf")));
    QRandomGenerator random(20240611);
    for (int round = 0; round < 60; ++round) {
        QByteArray damaged = round < 10 ? original.left(original.size() * round / 10) : original;
        for (int flip = 0; round >= 10 && flip < 8; ++flip)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        const QString path = writePdf(QStringLiteral("damaged-%1.pdf").arg(round), damaged);
        platform::Error error;
        const QImage canvas = ZORVAK_ImageBitmaps::imageWithPDFObject(path, QSizeF(60, 80), std::nullopt, {}, &error);
        EXPECT_TRUE(canvas.isNull() ? !error.isNull() : canvas.size() == QSize(60, 80)) << round;
    }
}

// Bitmap round trip -------------------------------------------------------------

// A 64 x 32 JPEG in four quadrants (red top left, green top right, blue bottom
// left, yellow bottom right) whose metadata states `orientation`.
QByteArray orientedJpeg(int orientation)
{
    QImage image(64, 32, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 32, 16, Qt::red);
    painter.fillRect(32, 0, 32, 16, Qt::green);
    painter.fillRect(0, 16, 32, 16, Qt::blue);
    painter.fillRect(32, 16, 32, 16, Qt::yellow);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return *ImageProperties::rewrite(jpeg, {{ImageProperties::orientationKey, orientation}});
}

// The colour near a corner (0 top left, 1 top right, 2 bottom left, 3 bottom right) of 16-bit RGBA data.
QRgb cornerOf(const QByteArray& data, int width, int height, int corner)
{
    const int x = corner % 2 ? width - 4 : 3, y = corner / 2 ? height - 4 : 3;
    const auto* component = reinterpret_cast<const quint16*>(data.constData()) + (qsizetype(y) * width + x) * 4;
    return qRgba(component[0] >> 8, component[1] >> 8, component[2] >> 8, component[3] >> 8);
}

TEST(BitmapRoundTrip, everyOrientationComesOutUprightAt16BitsAndReadsBack)
{
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), yellow = qRgb(255, 255, 0);
    const struct {
        int orientation;
        QRgb corners[4];
    } cases[] = {
        {1, {red, green, blue, yellow}}, {2, {green, red, yellow, blue}}, {3, {yellow, blue, green, red}},
        {4, {blue, yellow, red, green}}, {5, {red, blue, green, yellow}}, {6, {blue, red, yellow, green}},
        {7, {yellow, green, blue, red}}, {8, {green, yellow, red, blue}},
    };
    for (const auto& [orientation, corners] : cases) {
        SCOPED_TRACE(orientation);
        const bool turned = orientation >= 5;
        const int width = turned ? 32 : 64, height = turned ? 64 : 32;
        QVariantMap properties;
        const QByteArray data = ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(orientedJpeg(orientation), &properties);
        ASSERT_EQ(data.size(), qsizetype(width) * height * 8);
        EXPECT_EQ(properties.value("width").toInt(), width);
        EXPECT_EQ(properties.value("height").toInt(), height);
        EXPECT_EQ(properties.value("bitsPerComponent").toInt(), 16);
        EXPECT_EQ(properties.value("alphaInfo").toInt(), 1);
        EXPECT_TRUE(QColorSpace::fromIccProfile(properties.value("colorSpace").toByteArray()).isValid());
        for (int corner = 0; corner < 4; ++corner)
            EXPECT_TRUE(isNear(cornerOf(data, width, height, corner), corners[corner], 12)) << corner;

        const QImage image = ZORVAK_ImageBitmaps::imageFromBitmapData(data, properties);
        ASSERT_EQ(image.size(), QSize(width, height));
        EXPECT_EQ(image.format(), QImage::Format_RGBA64_Premultiplied);
        EXPECT_TRUE(isNear(image.pixelColor(3, 3).rgba(), corners[0], 12));
        EXPECT_TRUE(isNear(image.pixelColor(width - 4, height - 4).rgba(), corners[3], 12));
    }
}

TEST(BitmapRoundTrip, dataIsReadWithItsRowLengthAndBadDescriptionsOrFilesGiveNothing)
{
    // Two 8-bit rows of two pixels, each row padded to 16 bytes.
    QByteArray data(32, '\0');
    const uchar pixels[] = {255, 0, 0, 255, 0, 128, 0, 128};
    std::memcpy(data.data(), pixels, sizeof pixels);
    std::memcpy(data.data() + 16 + 4, pixels, 4);
    const QByteArray displayP3 = QColorSpace(QColorSpace::DisplayP3).iccProfile();
    const QVariantMap eightBits {{"width", 2}, {"height", 2}, {"bitsPerComponent", 8}, {"colorSpace", displayP3}};
    const QImage image = ZORVAK_ImageBitmaps::imageFromBitmapData(data, eightBits);
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixelColor(1, 0), QColor(0, 255, 0, 128));
    EXPECT_EQ(image.pixel(0, 1), 0u);
    EXPECT_EQ(image.pixel(1, 1), qRgb(255, 0, 0));

    const QImage sixteen = ZORVAK_ImageBitmaps::imageFromBitmapData(QByteArray(2 * 8, '\0'), {{"width", 2}, {"height", 1}});
    EXPECT_EQ(sixteen.format(), QImage::Format_RGBA64_Premultiplied);
    EXPECT_EQ(sixteen.colorSpace(), QColorSpace(QColorSpace::SRgb));

    const QVariantMap bad[] = {
        {{"width", 2}, {"height", 0}},
        {{"width", 0}, {"height", 2}},
        {{"width", 3}, {"height", 2}},                    // rows longer than the data holds
        {{"width", 2}, {"height", 2}, {"bitsPerComponent", 12}},
        {{"width", 2}, {"height", 2}, {"alphaInfo", 2}},
        {{"width", 2}, {"height", 40000}},
    };
    for (const QVariantMap& properties : bad)
        EXPECT_TRUE(ZORVAK_ImageBitmaps::imageFromBitmapData(data, properties).isNull()) << properties.size();
    EXPECT_TRUE(ZORVAK_ImageBitmaps::imageFromBitmapData({}, eightBits).isNull());

    ScratchFolder folder;
    writeFile(folder.path("photo.jpg"), orientedJpeg(6));
    writeFile(folder.path("text.jpg"), "not an image");
    EXPECT_EQ(ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(QUrl::fromLocalFile(folder.path("photo.jpg"))).size(), 32 * 64 * 8);
    EXPECT_TRUE(ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(folder.path("text.jpg")).isEmpty());
    EXPECT_TRUE(ZORVAK_ImageBitmaps::rgbaBitmapDataWithObject(folder.path("missing.jpg")).isEmpty());
}

// Thumbnails --------------------------------------------------------------------

TEST(Thumbnails, areUprightWithTheLongerSideAtMostTheLargerLengthAndNeverEnlarged)
{
    ScratchFolder folder;
    QImage wide(400, 200, QImage::Format_RGB32);
    wide.fill(Qt::darkCyan);
    wide.save(folder.path("wide.png"), "PNG");
    const QUrl url = QUrl::fromLocalFile(folder.path("wide.png"));
    EXPECT_EQ(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(100, 50)).size(), QSize(100, 50));
    EXPECT_EQ(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(30, 100)).size(), QSize(100, 50));
    EXPECT_EQ(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(99.9, 0)).size(), QSize(99, 50));
    EXPECT_EQ(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(1000, 1000)).size(), QSize(400, 200));
    EXPECT_EQ(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(1, 1)).size(), QSize(1, 1));
    EXPECT_TRUE(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(url, QSizeF(0.5, 0)).isNull());

    writeFile(folder.path("turned.jpg"), orientedJpeg(6));
    const QImage thumbnail = ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(QUrl::fromLocalFile(folder.path("turned.jpg")), QSizeF(32, 32));
    ASSERT_EQ(thumbnail.size(), QSize(16, 32));
    EXPECT_TRUE(isNear(thumbnail.pixel(3, 3), qRgb(0, 0, 255), 40)); // the blue bottom left turned to the top left
    EXPECT_TRUE(isNear(thumbnail.pixel(12, 28), qRgb(0, 255, 0), 40));

    writeFile(folder.path("text.png"), "not an image");
    EXPECT_TRUE(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(QUrl::fromLocalFile(folder.path("text.png")), QSizeF(32, 32)).isNull());
    EXPECT_TRUE(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(QUrl::fromLocalFile(folder.path("missing.png")), QSizeF(32, 32)).isNull());
    EXPECT_TRUE(ZORVAK_NSURL_Image::thumbnailImageWithMaxSize(QUrl("https://example.com/a.png"), QSizeF(32, 32)).isNull());
}

// Barcodes ----------------------------------------------------------------------

// A white picture of `size` with the symbol of `message` drawn into the rectangle `symbol`.
QImage codeImage(ZXing::BarcodeFormat format, const std::string& message, const QSize& size, const QRect& symbol)
{
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(format).setEncoding(ZXing::CharacterSet::UTF8).setMargin(0)
                                        .encode(message, symbol.width(), symbol.height());
    QImage picture(size, QImage::Format_Grayscale8);
    picture.fill(Qt::white);
    for (int y = 0; y < matrix.height(); ++y) {
        uchar* row = picture.scanLine(symbol.y() + y) + symbol.x();
        for (int x = 0; x < matrix.width(); ++x)
            row[x] = matrix.get(x, y) ? 0 : 255;
    }
    return picture;
}

QString savedPicture(const ScratchFolder& folder, const QString& name, const QImage& picture)
{
    picture.save(folder.path(name), "PNG");
    return folder.path(name);
}

TEST(Barcodes, qrCodesAreDecodedAndEveryBarcodeIsDetectedWithItsPlaceFromTheBottomLeft)
{
    ScratchFolder folder;
    const std::string message = "KOVA order 4711 · Größe €";
    // The symbol covers x 100..300 of 400 and rows 20..220 of 300, i.e. 0.27..0.93 from the bottom.
    const QString qr = savedPicture(folder, "qr.png", codeImage(ZXing::BarcodeFormat::QRCode, message, {400, 300}, {100, 20, 200, 200}));
    const QString code128 = savedPicture(folder, "code128.png", codeImage(ZXing::BarcodeFormat::Code128, "A-1234", {800, 300}, {50, 50, 600, 150}));
    EXPECT_EQ(ZORVAK_ImageBitmaps::decodedBarcodeImage(qr), QString::fromStdString(message));
    EXPECT_EQ(ZORVAK_ImageBitmaps::decodedBarcodeImage(QUrl::fromLocalFile(qr)), QString::fromStdString(message));
    EXPECT_EQ(ZORVAK_ImageBitmaps::decodedBarcodeImage(code128), std::nullopt);
    EXPECT_EQ(ZORVAK_ImageBitmaps::decodedBarcodeImage(folder.path("missing.png")), std::nullopt);
    EXPECT_EQ(ZORVAK_ImageBitmaps::decodedBarcodeImage(QByteArray("not a path")), std::nullopt);

    QList<ZORVAK_ImageBitmaps::BarcodeObservation> found;
    int calls = 0;
    const auto collect = [&](const auto& observations) { found = observations, ++calls; };
    ZORVAK_ImageBitmaps::detectBarcodesInImage(qr, collect);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].symbology, "QRCode");
    EXPECT_EQ(found[0].payload, QString::fromStdString(message));
    EXPECT_NEAR(found[0].boundingBox.left(), 0.25, 0.02);
    EXPECT_NEAR(found[0].boundingBox.right(), 0.75, 0.02);
    EXPECT_NEAR(found[0].boundingBox.top(), 80.0 / 300, 0.02);
    EXPECT_NEAR(found[0].boundingBox.bottom(), 280.0 / 300, 0.02);
    ZORVAK_ImageBitmaps::detectBarcodesInImage(code128, collect);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].symbology, "Code128");
    EXPECT_EQ(found[0].payload, "A-1234");
    ZORVAK_ImageBitmaps::detectBarcodesInImage(folder.path("missing.png"), collect);
    EXPECT_TRUE(found.isEmpty());
    EXPECT_EQ(calls, 3);
}

} // namespace

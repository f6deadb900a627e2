// Cost of composing a print: a 12-megapixel photo decoded for an 1800 x 1200
// picture, a second photo, wrapped text and a QR code drawn into a canvas and
// written as a JPEG with its EXIF comment; measured against Qt's own decode,
// scale and encode of the same photo.
#include "PhotoFixtures.h"
#include "core/codes/ZORVAK_2dCodeGenerator.h"
#include "core/image/ZORVAK_Image.h"
#include "core/image/ZORVAK_ImageWriter.h"

#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

namespace {

const QSize pageSize(1800, 1200);

// The two photos, written once into a temporary folder for the whole run.
struct Photos {
    QTemporaryDir folder;
    QString large;
    QString second;

    Photos()
    {
        large = folder.filePath(QStringLiteral("large.jpeg"));
        second = folder.filePath(QStringLiteral("second.jpeg"));
        PhotoFixtures::writePhoto(large, PhotoFixtures::photoLikePicture(QSize(4242, 2828), 0x2545F491u));
        PhotoFixtures::writePhoto(second, PhotoFixtures::photoLikePicture(QSize(2400, 1600), 0x9E3779B9u));
    }

    QString output(const QString& name) const { return folder.filePath(name); }

    static const Photos& shared()
    {
        static const Photos photos;
        return photos;
    }
};

// Draws one image object into the page's canvas at `rect` (bottom-left geometry).
void drawLayer(ZORVAK_Image& layer, const std::shared_ptr<BitmapContext>& canvas, const QRectF& rect)
{
    layer.setDrawingContext(canvas);
    layer.setDestinationRect(rect);
    layer.draw();
}

TextAttributes captionAttributes()
{
    TextAttributes attributes;
    attributes.font = QFont(QStringLiteral("Helvetica"));
    attributes.font.setPixelSize(48);
    attributes.foregroundColor = Qt::white;
    return attributes;
}

// The composed page: the large photo filling the canvas, the second photo
// framed at the upper right, a caption at the lower left and a QR code at the
// lower right.
bool composeAndWritePage(const Photos& photos, const QString& destination)
{
    ZORVAK_Image page;
    const auto canvas = page.drawingContextWithCanvasSize(pageSize);
    const auto background = ZORVAK_Image::imageWithObject(photos.large);
    const auto inset = ZORVAK_Image::imageWithObject(photos.second);
    if (!canvas || !background || !inset)
        return false;
    background->setContentsGravity(ZORVAK_Image::kCAGravityResizeAspectFill);
    drawLayer(*background, canvas, QRectF(QPointF(), pageSize));
    inset->setContentsGravity(ZORVAK_Image::kCAGravityResizeAspectFill);
    inset->setHasBorder(true);
    drawLayer(*inset, canvas, QRectF(1140, 690, 600, 450));
    const auto caption = ZORVAK_Image::imageWithDrawingString(
        QStringLiteral("Summer at the lake, with everyone who came along for the long weekend in August"),
        captionAttributes());
    drawLayer(*caption, canvas, QRectF(60, 60, 900, 260));
    const QVariantMap code{{zorvak_2dCodeKey_message, QStringLiteral("https://example.com/orders/4711/prints/12")},
                           {zorvak_2dCodeKey_type, 1},
                           {zorvak_2dCodeKey_scale, 8},
                           {zorvak_2dCodeKey_position, 1}};
    ZORVAK_2dCodeGenerator::draw(code, *canvas->painter(), QRectF(QPointF(), pageSize));
    return ZORVAK_ImageWriter::writeImage(canvas->createImage(), QUrl::fromLocalFile(destination),
                                          {{zorvakImageKey_exifComment, QStringLiteral("order 4711, print 12")}});
}

void ComposedPage(benchmark::State& state)
{
    const Photos& photos = Photos::shared();
    const QString destination = photos.output(QStringLiteral("composed.jpeg"));
    for (auto _ : state) {
        if (!composeAndWritePage(photos, destination)) {
            state.SkipWithError("the page could not be composed or written");
            return;
        }
    }
}
BENCHMARK(ComposedPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// The 12-megapixel photo drawn alone into a canvas of a percentage of its size.
void PhotoDrawnAtScale(benchmark::State& state)
{
    const Photos& photos = Photos::shared();
    const QSizeF size(4242 * state.range(0) / 100.0, 2828 * state.range(0) / 100.0);
    ZORVAK_Image page;
    const auto canvas = page.drawingContextWithCanvasSize(size);
    for (auto _ : state) {
        const auto photo = ZORVAK_Image::imageWithObject(photos.large);
        if (!canvas || !photo) {
            state.SkipWithError("the photo could not be opened");
            return;
        }
        drawLayer(*photo, canvas, QRectF(QPointF(), size));
    }
}
BENCHMARK(PhotoDrawnAtScale)->Arg(45)->Arg(60)->Arg(74)->Arg(90)->Unit(benchmark::kMillisecond)->UseRealTime();

// What Qt alone needs: decode the photo at the page size and encode it.
bool decodeScaleEncode(const Photos& photos, const QString& destination)
{
    return PhotoFixtures::decodeScaleEncode(photos.large, pageSize, destination);
}

void PlainDecodeScaleEncode(benchmark::State& state)
{
    const Photos& photos = Photos::shared();
    const QString destination = photos.output(QStringLiteral("plain.jpeg"));
    for (auto _ : state) {
        if (!decodeScaleEncode(photos, destination)) {
            state.SkipWithError("the photo could not be decoded or encoded");
            return;
        }
    }
}
BENCHMARK(PlainDecodeScaleEncode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The composed page measured against the plain baseline.
void ComposedPageToPlainRatio(benchmark::State& state)
{
    const Photos& photos = Photos::shared();
    const QString composed = photos.output(QStringLiteral("composed.jpeg"));
    const QString plain = photos.output(QStringLiteral("plain.jpeg"));
    PhotoFixtures::measureAgainstPlain(
        state, [&] { return decodeScaleEncode(photos, plain); }, [&] { return composeAndWritePage(photos, composed); });
}
BENCHMARK(ComposedPageToPlainRatio)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

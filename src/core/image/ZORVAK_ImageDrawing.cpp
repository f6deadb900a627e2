// Drawing of image objects into their canvas.
#include "core/image/ZORVAK_Image.h"

#include "core/image/ImageOrientation.h"
#include "core/image/JpegEncoder.h"
#include "core/image/PixelBufferPool.h"
#include "core/image/ZORVAK_ImageWriter.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

struct ZORVAK_Image::Placement {
    QRectF content;               // where the picture or text goes
    QRectF border;                // the outer edge of the border
    std::optional<QRectF> source; // the stored pixels to draw; none without a bitmap
    int orientation = 1;
    double rotation = 0;          // radians the drawing is still turned by, clockwise
};

namespace {

// The whole number of quarter turns `radians` is, if it is one.
std::optional<int> wholeQuarterTurns(double radians)
{
    const double quarters = radians / (std::numbers::pi / 2);
    const double whole = std::round(quarters);
    if (std::abs(quarters - whole) > 1e-9 || std::abs(whole) > 1e6)
        return std::nullopt;
    return int(whole);
}

// `rect` turned about its centre by a whole number of quarter turns.
QRectF turnedAboutCentre(const QRectF& rect, int quarterTurns)
{
    if (quarterTurns % 2 == 0)
        return rect;
    const QSizeF turned = rect.size().transposed();
    return QRectF(rect.center() - QPointF(turned.width() / 2, turned.height() / 2), turned);
}

// One box pass along every row of an alpha bitmap; transparent beyond the ends.
void boxBlurRows(QImage& alpha, int radius, std::vector<int>& line)
{
    const int width = alpha.width();
    const int window = 2 * radius + 1;
    line.resize(std::size_t(width));
    for (int y = 0; y < alpha.height(); ++y) {
        uchar* row = alpha.scanLine(y);
        std::copy(row, row + width, line.begin());
        int sum = 0;
        for (int x = 0; x <= radius && x < width; ++x)
            sum += line[std::size_t(x)];
        for (int x = 0; x < width; ++x) {
            row[x] = static_cast<uchar>(sum / window);
            if (x + radius + 1 < width)
                sum += line[std::size_t(x + radius + 1)];
            if (x - radius >= 0)
                sum -= line[std::size_t(x - radius)];
        }
    }
}

// One box pass down every column, taken row by row with a running sum per
// column so that memory is read in order.
void boxBlurColumns(QImage& alpha, int radius, std::vector<int>& sums)
{
    const int width = alpha.width();
    const int height = alpha.height();
    const int window = 2 * radius + 1;
    const QImage source = alpha.copy();
    const auto addRow = [&](int y, int sign) {
        const uchar* row = source.constScanLine(y);
        for (int x = 0; x < width; ++x)
            sums[std::size_t(x)] += sign * row[x];
    };
    sums.assign(std::size_t(width), 0);
    for (int y = 0; y <= radius && y < height; ++y)
        addRow(y, 1);
    for (int y = 0; y < height; ++y) {
        uchar* row = alpha.scanLine(y);
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<uchar>(sums[std::size_t(x)] / window);
        if (y + radius + 1 < height)
            addRow(y + radius + 1, 1);
        if (y - radius >= 0)
            addRow(y - radius, -1);
    }
}

// Three box passes each way come close to a Gaussian blur.
void blur(QImage& alpha, int radius)
{
    if (radius <= 0)
        return;
    std::vector<int> buffer;
    for (int pass = 0; pass < 3; ++pass) {
        boxBlurRows(alpha, radius, buffer);
        boxBlurColumns(alpha, radius, buffer);
    }
}

QList<QTextLayout::FormatRange> formatsOf(const AttributedString& string, qsizetype start, qsizetype length)
{
    QList<QTextLayout::FormatRange> formats;
    for (const AttributedString::Run& run : string.runs()) {
        const qsizetype from = std::max(run.start, start);
        const qsizetype to = std::min(run.start + run.length, start + length);
        if (from >= to)
            continue;
        QTextLayout::FormatRange range;
        range.start = int(from - start);
        range.length = int(to - from);
        range.format.setFont(run.attributes.font);
        range.format.setForeground(run.attributes.foregroundColor);
        formats.append(range);
    }
    return formats;
}

// Lays out `string` paragraph by paragraph from the top of `rect`, wrapping at
// its width; lines that do not fit in its height are left out.
void drawText(QPainter& painter, const AttributedString& string, const QRectF& rect)
{
    painter.save();
    painter.setTransform(BitmapContext::uprightIn(rect) * painter.transform());
    double top = 0;
    qsizetype start = 0;
    for (const QString& paragraph : string.string().split(QLatin1Char('\n'))) {
        const TextAttributes attributes = string.attributesAt(start);
        QTextLayout layout(paragraph, attributes.font, painter.device());
        QTextOption option(attributes.alignment & Qt::AlignHorizontal_Mask);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.setFormats(formatsOf(string, start, paragraph.size()));
        layout.beginLayout();
        QList<QTextLine> lines;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(rect.width());
            line.setPosition(QPointF(0, top));
            top += line.height();
            if (top > rect.height() + 0.5)
                break;
            lines.append(line);
        }
        layout.endLayout();
        painter.setPen(attributes.foregroundColor);
        for (const QTextLine& line : lines)
            line.draw(&painter, QPointF());
        if (top > rect.height() + 0.5)
            break;
        start += paragraph.size() + 1;
    }
    painter.restore();
}

} // namespace

QRectF ZORVAK_Image::transformedRect(const QRectF& rect, const QSizeF& forImageSize, int orientation)
{
    const QSizeF stored = ImageOrientation::oriented(forImageSize, orientation);
    return ImageOrientation::transform(stored, orientation).inverted().mapRect(rect);
}

QImage ZORVAK_Image::croppedImage(const QImage& image, const QRectF& withRect, int orientation)
{
    const QSizeF upright = ImageOrientation::oriented(QSizeF(image.size()), orientation);
    const QRect stored = transformedRect(withRect, upright, orientation).toAlignedRect() & image.rect();
    return stored.isEmpty() ? QImage() : image.copy(stored);
}

QImage ZORVAK_Image::croppedImage(const QImage& image, const QRectF& withRect) const
{
    return croppedImage(image, withRect, orientation());
}

QImage ZORVAK_Image::croppedImageWithRect(const QRectF& rect) const
{
    return croppedImage(cgImage(), rect);
}

void ZORVAK_Image::drawBorderforFrame(QPainter& painter, const QRectF& frame, double width, const QColor& color, double corner)
{
    painter.save();
    QPainterPath path;
    path.addRoundedRect(frame.adjusted(width / 2, width / 2, -width / 2, -width / 2), corner, corner);
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

void ZORVAK_Image::renderString(const AttributedString& string, BitmapContext* toContext, const QRectF& inRect)
{
    if (!toContext)
        return;
    drawText(*toContext->painter(), string, inRect);
}

void ZORVAK_Image::renderString(const AttributedString& string, const QRectF& inDrawingRect)
{
    renderString(string, m_drawingContext.get(), inDrawingRect);
}

QImage ZORVAK_Image::copyWithMaxDimension(double maxDimension)
{
    const QSizeF size = orientedSize();
    if (size.isEmpty() || maxDimension <= 0)
        return {};
    const QSizeF scaled = size.width() > size.height() ? QSizeF(maxDimension, size.height() / size.width() * maxDimension)
                                                       : QSizeF(size.width() / size.height() * maxDimension, maxDimension);
    if (!drawingContextWithCanvasSize(scaled))
        return {};
    m_destinationRect = QRectF(QPointF(), drawingContextSize());
    m_contentsGravity = kCAGravityResizeAspect;
    draw();
    return m_drawingContext->createImage();
}

// The stored pixels under the crop rectangle (given upright, rows from the
// top); the whole bitmap without one; empty when the crop misses the bitmap.
QRectF ZORVAK_Image::bitmapSourceRect() const
{
    const QRectF whole(QPointF(), actualSize());
    if (m_cropRect.isEmpty())
        return whole;
    const QSizeF upright = naturalOrientedSize();
    const QRectF crop = m_isNormalizedCropRect ? denormalizedRect(m_cropRect, upright) : m_cropRect;
    return transformedRect(crop, upright, orientationNatural()) & whole;
}

// Fits the picture into the content rectangle: resize-aspect shrinks the
// rectangle about its centre, resize-aspect-fill crops the picture about its
// centre; anything else stretches.
void ZORVAK_Image::fit(Placement& placement) const
{
    const QSizeF picture = ImageOrientation::oriented(placement.source->size(), placement.orientation);
    QRectF& content = placement.content;
    const double contentRatio = content.width() / content.height();
    const double pictureRatio = picture.width() / picture.height();
    if (content.size() == picture || contentRatio == pictureRatio || !std::isfinite(contentRatio))
        return;
    if (m_contentsGravity == kCAGravityResizeAspect) {
        const QSizeF fitted = contentRatio > pictureRatio ? QSizeF(content.height() * pictureRatio, content.height())
                                                          : QSizeF(content.width(), content.width() / pictureRatio);
        content = QRectF(content.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    } else if (m_contentsGravity == kCAGravityResizeAspectFill) {
        const QRectF crop = contentRatio > pictureRatio
            ? QRectF(0, (picture.height() - picture.width() / contentRatio) / 2, picture.width(), picture.width() / contentRatio)
            : QRectF((picture.width() - contentRatio * picture.height()) / 2, 0, contentRatio * picture.height(), picture.height());
        placement.source = transformedRect(crop, picture, placement.orientation).translated(placement.source->topLeft());
    }
}

// The bitmap to draw. A picture not decoded yet that is drawn below its stored
// size is decoded as it is drawn: only the part under the placement, upright and
// at the content's size in whole pixels (the content's edges move to the
// nearest pixel edges), so that drawing it is a copy of rows. That bitmap is not
// kept; the placement then draws all of it as stored.
QImage ZORVAK_Image::bitmapForPlacement(Placement& placement) const
{
    const QSizeF picture = ImageOrientation::oriented(placement.source->size(), placement.orientation);
    const QRectF& content = placement.content;
    const QRectF onPixels(QPointF(std::round(content.left()), std::round(content.top())),
                          QPointF(std::round(content.right()), std::round(content.bottom())));
    const QSize drawn = onPixels.size().toSize();
    if (m_image || !m_source || drawn.isEmpty() || drawn.width() >= picture.width() || drawn.height() >= picture.height())
        return cgImage();
    platform::Error error;
    const QImage bitmap = m_source->createDrawnImage(*placement.source, drawn, placement.orientation, &error);
    if (bitmap.isNull()) {
        platform::Log::error(error.message);
        return bitmap;
    }
    placement.source = QRectF(bitmap.rect());
    placement.orientation = 1;
    placement.content = onPixels;
    return bitmap;
}

void ZORVAK_Image::drawContent(QPainter& painter, const Placement& placement, const QImage& bitmap) const
{
    if (placement.source && !bitmap.isNull())
        BitmapContext::drawImageUpright(painter, placement.content, bitmap, *placement.source, placement.orientation);
    else if (m_string)
        drawText(painter, *m_string, placement.content);
    if (m_hasBorder) {
        const QString code = m_borderColorCode.isEmpty() ? defaultBorderColorCode : m_borderColorCode;
        drawBorderforFrame(painter, placement.border, m_borderWidth, createColorWithHexcode(code), 0);
    }
}

// Draws the content into a layer over the part of the canvas it can reach, then
// its blurred silhouette in the shadow colour at the shadow offset (up is
// positive, as in the canvas geometry), then the layer over it.
void ZORVAK_Image::drawWithShadow(QPainter& painter, const Placement& placement, const QImage& bitmap) const
{
    const int radius = static_cast<int>(std::lround(std::clamp(m_shadowBlur, 0.0, 1000.0) / 2));
    const QPointF offset(m_shadowOffset.width(), -m_shadowOffset.height());
    const QRect canvas(QPoint(), painter.device()->width() > 0 ? QSize(painter.device()->width(), painter.device()->height()) : QSize());
    const int reach = 3 * radius + 2;
    const QRect area = painter.transform().mapRect(placement.border).toAlignedRect().adjusted(-reach, -reach, reach, reach)
        & canvas.adjusted(-reach - int(std::abs(offset.x())), -reach - int(std::abs(offset.y())),
                          reach + int(std::abs(offset.x())), reach + int(std::abs(offset.y())));
    if (area.isEmpty())
        return;
    QImage layer(area.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(painter.renderHints());
        layerPainter.setTransform(painter.transform() * QTransform::fromTranslate(-area.x(), -area.y()));
        drawContent(layerPainter, placement, bitmap);
    }
    // The shadow is the layer's silhouette in one colour, so only its coverage
    // needs blurring; the colour is laid on afterwards.
    QImage coverage = layer.convertToFormat(QImage::Format_Alpha8);
    blur(coverage, radius);
    QImage shadow(area.size(), QImage::Format_ARGB32_Premultiplied);
    const QString code = m_shadowColorCode.isEmpty() ? defaultShadowColorCode : m_shadowColorCode;
    shadow.fill(createColorWithHexcode(code));
    {
        QPainter shadowPainter(&shadow);
        shadowPainter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        shadowPainter.drawImage(0, 0, coverage);
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(QPointF(area.topLeft()) + offset, shadow);
    painter.drawImage(area.topLeft(), layer);
    painter.restore();
}

// Where the content, the border and the stored pixels go, before any decoding.
ZORVAK_Image::Placement ZORVAK_Image::placementInDestination() const
{
    const QRectF destination = m_destinationRect == QRectF() ? QRectF(QPointF(), drawingContextSize()) : m_destinationRect;
    Placement placement;
    placement.orientation = orientation();
    // A border that does not clip insets the content; fitting happens inside it,
    // so the picture keeps its proportions.
    const double inset = m_hasBorder && !m_borderClipsContent ? m_borderWidth : 0;
    placement.content = destination.adjusted(inset, inset, -inset, -inset);
    if (hasBitmap()) {
        const QRectF source = bitmapSourceRect();
        if (!source.isEmpty())
            placement.source = source;
    }
    if (placement.source && !m_contentsGravity.isEmpty() && !placement.content.isEmpty())
        fit(placement);
    placement.border = placement.content.adjusted(-inset, -inset, inset, inset);
    placement.rotation = m_rotation.value_or(0);
    // A picture turned by whole quarter turns takes the turns into its
    // orientation, so that its pixels are turned exactly rather than resampled
    // by a turned drawing; content and border (about one centre) turn with it.
    const std::optional<int> quarterTurns = wholeQuarterTurns(placement.rotation);
    if (placement.source && !m_string && quarterTurns) {
        placement.orientation = ImageOrientation::turnedClockwise(placement.orientation, *quarterTurns);
        placement.content = turnedAboutCentre(placement.content, *quarterTurns);
        placement.border = turnedAboutCentre(placement.border, *quarterTurns);
        placement.rotation = 0;
    }
    return placement;
}

// The decoding made ahead when it was made for this placement (it is used once),
// else a decoding now.
QImage ZORVAK_Image::bitmapToDraw(Placement& placement)
{
    std::optional<DecodedForDrawing> decoded;
    decoded.swap(m_decodedForDrawing);
    if (decoded && decoded->orientation == placement.orientation && decoded->content == placement.content
        && decoded->storedSource == *placement.source) {
        placement.source = decoded->bitmapSource;
        placement.orientation = decoded->bitmapOrientation;
        placement.content = decoded->bitmapContent;
        return decoded->bitmap;
    }
    return bitmapForPlacement(placement);
}

void ZORVAK_Image::decodeForDrawing()
{
    if (m_image || !m_source || m_decodedForDrawing)
        return;
    Placement placement = placementInDestination();
    if (!placement.source || placement.content.isEmpty())
        return;
    const QRectF storedSource = *placement.source;
    const int orientation = placement.orientation;
    const QRectF content = placement.content;
    const QImage bitmap = bitmapForPlacement(placement);
    // A picture drawn at or above its stored size is kept whole by the object itself.
    if (!m_image)
        m_decodedForDrawing = DecodedForDrawing{orientation,           content,           storedSource, *placement.source,
                                                placement.orientation, placement.content, bitmap};
}

void ZORVAK_Image::draw()
{
    Placement placement = placementInDestination();
    if (!m_drawingContext) {
        platform::Log::error(QStringLiteral("set a drawing context before attempting to draw!"));
        return;
    }
    if (placement.border.width() <= 0) {
        platform::Log::error(QStringLiteral("attempting to draw an image with zero width"));
        return;
    }
    if (placement.border.height() <= 0) {
        platform::Log::error(QStringLiteral("attempting to draw an image with zero height"));
        return;
    }

    const QImage bitmap = placement.source ? bitmapToDraw(placement) : QImage();
    const auto painter = m_drawingContext->painter();
    if (placement.rotation != 0) {
        const QPointF centre = placement.border.center();
        painter->translate(centre);
        painter->rotate(-placement.rotation * 180 / std::numbers::pi);
        painter->translate(-centre);
    }
    if (!m_backgroundColorCode.isEmpty())
        painter->fillRect(placement.content, createColorWithHexcode(m_backgroundColorCode));
    if (m_hasShadow)
        drawWithShadow(*painter, placement, bitmap);
    else
        drawContent(*painter, placement, bitmap);
}

namespace {

// Writes every page of `bytes` at `memory`, so that the pages are faulted in.
void touch(char* memory, std::size_t bytes)
{
    std::fill_n(static_cast<volatile char*>(memory), bytes, 1);
}

// Starts the workers of the global queue that layers decode on, one per
// processor (submitted at once, the blocks start workers of their own), and
// lets each make its stack and allocation arena: a first rendering would
// otherwise pay for that while it decodes. Not waited for: the rest of the
// preparation, or a first rendering that follows at once, goes on meanwhile
// rather than wait for every worker to be given a processor on a busy machine.
void startDecodingWorkers()
{
    const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned index = 0; index < workers; ++index) {
        platform::DispatchQueue::global(platform::QoS::UserInitiated)->async([] {
            constexpr std::size_t scratchBytes = std::size_t(64) << 10;
            touch(std::make_unique_for_overwrite<char[]>(scratchBytes).get(), scratchBytes);
        });
    }
}

} // namespace

void ZORVAK_Image::prepareForDrawing()
{
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        // The memory of the first rendering's canvas, photos and photo files, faulted in now.
        PixelBufferPool::reserve();
        startDecodingWorkers();
        // A small photo (JPEG), graphic (PNG) and text drawn into a canvas and
        // written, as a rendering does.
        QImage picture(64, 48, QImage::Format_RGBX8888);
        picture.fill(Qt::gray);
        QByteArray graphic;
        QBuffer buffer(&graphic);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        QFontDatabase::families();
        ZORVAK_Image page;
        const auto canvas = page.drawingContextWithCanvasSize(QSizeF(32, 24));
        if (!canvas)
            return;
        const std::shared_ptr<ZORVAK_Image> layers[] = {imageWithObject(JpegEncoder::encode(picture, 90).value_or(QByteArray())),
                                                        imageWithObject(graphic),
                                                        imageWithDrawingString(QStringLiteral("Aa"), TextAttributes())};
        for (const auto& layer : layers) {
            if (!layer)
                continue;
            layer->setDrawingContext(canvas);
            layer->draw();
        }
        JpegEncoder::encode(canvas->createImage(), 90);
        ZORVAK_ImageWriter::prepareForWriting();
    });
}

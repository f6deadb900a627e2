#include "printing/raster/PagePreProcessing.h"

#include "core/image/ImageOrientation.h"
#include "core/image/LanczosScaler.h"
#include "printing/filters/ZORVAK_ImageFilter.h"
#include "printing/raster/PageImageFile.h"

#include <algorithm>
#include <cmath>

namespace {

// The orientation that turns a picture a quarter turn.
constexpr int QuarterTurn = 6;
// The longest side of a page's picture; larger sizes are no page.
constexpr double LargestSide = 100000;
// A preview size whose sides are both above this scales the page's size.
constexpr double SmallestPreviewSide = 9;

// The size a picture is fitted to, with the resolution ratio and gravity it is fitted by.
struct Target {
    QSizeF size;
    double resolutionRatio;
    QString gravity;
};

// A preview fits the page's size in square pixels into the preview size, or a page of no size
// fits the picture to the preview size; either way without the printer's resolutions.
Target targetOf(const PreProcessSettings& settings)
{
    Target target{settings.outputSize, settings.resolutionRatio, settings.gravity};
    if (!settings.previewSize)
        return target;
    const QSizeF preview = *settings.previewSize;
    const double ratio = settings.resolutionRatio;
    target.resolutionRatio = 1;
    if (settings.outputSize.width() == 0 || settings.outputSize.height() == 0) {
        target.gravity = PagePreProcessing::GravityResizeAspect;
        target.size = preview;
        return target;
    }
    QSizeF square = settings.outputSize;
    if (ratio < 1)
        square.setWidth(square.width() * ratio);
    else if (ratio > 1)
        square.setHeight(square.height() / ratio);
    if (preview.width() > SmallestPreviewSide && preview.height() > SmallestPreviewSide)
        square *= std::min(preview.width() / square.width(), preview.height() / square.height());
    target.size = square;
    return target;
}

// Whether the page and the picture are the one landscape and the other portrait.
bool crossesOrientation(const Target& target, QSize picture)
{
    const double height = target.size.height() == 0 ? 1 : target.size.height();
    const double pageAspect = target.size.width() / height * target.resolutionRatio;
    const double pictureAspect = double(picture.width()) / picture.height();
    return (pageAspect > 1 && pictureAspect < 1) || (pageAspect < 1 && pictureAspect > 1);
}

// The scale that fits the picture to the page by height or by width: the larger fills the
// page, the smaller fits inside it.
double scaleFor(const Target& target, QSize picture)
{
    const double ratio = target.resolutionRatio;
    const double byHeight = ratio >= 1 ? target.size.height() / picture.height() : target.size.height() / picture.height() / ratio;
    const double byWidth = ratio >= 1 ? target.size.width() / picture.width() * ratio : target.size.width() / picture.width();
    return target.gravity == PagePreProcessing::GravityResizeAspectFill ? std::max(byHeight, byWidth) : std::min(byHeight, byWidth);
}

QImage filtered(QImage picture, const QVariantList& chain)
{
    for (const QVariant& element : chain) {
        if (const auto filter = platform::Archivable::fromVariant<ZORVAK_ImageFilter>(element))
            picture = filter->apply(picture);
    }
    return picture;
}

// The picture scaled by `scale` (its pixels made as wide as the printer's for a printer whose
// resolutions differ), centred on the page and cropped to it; white where it leaves the page
// bare when the canvas is drawn, else clear. A picture that `turns` is scaled as it stands and
// turned once at the page's size, which is cheaper and gives the same pixels as turning first
// since the crop is centred.
QImage fittedToPage(const QImage& picture, const Target& target, double scale, const PreProcessSettings& settings, bool turns)
{
    const auto isPixelCount = [](double length) { return length >= 0.5 && length <= LargestSide; };
    if (!isPixelCount(target.size.width()) || !isPixelCount(target.size.height()) || !std::isfinite(scale) || !(scale > 0))
        return {};
    QSizeF axes(scale, scale);
    const double ratio = target.resolutionRatio;
    if (!settings.isPreview && ratio > 1)
        axes.setWidth(scale / ratio);
    else if (!settings.isPreview && ratio < 1)
        axes.setHeight(scale * ratio);
    const QSize pageSize(qRound(target.size.width()), qRound(target.size.height()));
    const QSize pictureSize = turns ? picture.size().transposed() : picture.size();
    const QSizeF scaled(pictureSize.width() * axes.width(), pictureSize.height() * axes.height());
    const QPointF centring((scaled.width() - target.size.width()) * 0.5, (scaled.height() - target.size.height()) * 0.5);
    QImage fitted = turns ? LanczosScaler::resampled(picture, axes.transposed(), QPointF(centring.y(), centring.x()), pageSize.transposed())
                          : LanczosScaler::resampled(picture, axes, centring, pageSize);
    if (turns && !fitted.isNull())
        fitted = ImageOrientation::upright(fitted, QuarterTurn);
    const bool leavesPageBare = scaled.width() < target.size.width() || scaled.height() < target.size.height();
    if (fitted.isNull() || !settings.drawsCanvas || !leavesPageBare)
        return fitted;
    const QRect page({0, 0}, pageSize);
    return ZORVAK_PageImage(fitted).composedOver(ZORVAK_PageImage::filled(Qt::white, page, fitted.format())).image();
}

} // namespace

namespace PagePreProcessing {

double resolutionRatio(const QSizeF& resolution)
{
    if (resolution.width() == 0 || resolution.height() == 0)
        return 1;
    const double ratio = resolution.height() / resolution.width();
    return std::isfinite(ratio) && ratio > 0 ? ratio : 1;
}

ZORVAK_PageImage preProcessed(const PreProcessSettings& settings)
{
    if (settings.imageURL.isEmpty())
        return {};
    const PageImageFile file(settings.imageURL);
    if (!file.isValid())
        return {};
    const Target target = targetOf(settings);
    const bool turns = settings.autoRotate && crossesOrientation(target, file.uprightSize());
    const bool resizes = target.gravity.startsWith(GravityResize);
    const QSize oriented = turns ? file.uprightSize().transposed() : file.uprightSize();
    const int reduction = resizes ? file.reductionFor(scaleFor(target, oriented)) : 1;
    QImage picture = file.decode(reduction);
    if (picture.isNull())
        return {};
    if (!resizes) {
        picture.convertTo(settings.workingFormat);
        if (turns)
            picture = ImageOrientation::upright(picture, QuarterTurn);
        return ZORVAK_PageImage(settings.applyFilters ? filtered(picture, settings.filters) : picture);
    }

    const double scale = scaleFor(target, turns ? picture.size().transposed() : picture.size());
    const bool filtersFirst = scale > 1 && settings.applyFilters;
    // Scaling takes any premultiplied four bytes a pixel, so opaque 8-bit pictures are converted
    // once they are at the page's size; others before, deep ones to scale at their depth.
    const bool eightBit = QImage::toPixelFormat(settings.workingFormat).bitsPerPixel() == 32;
    if (!filtersFirst && eightBit && picture.format() == QImage::Format_RGB32)
        picture.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied); // the same opaque pixels, with room for clear ones
    else
        picture.convertTo(settings.workingFormat);
    if (filtersFirst)
        picture = filtered(picture, settings.filters);
    QImage page = fittedToPage(picture, target, scale, settings, turns);
    if (page.isNull())
        return {};
    page.convertTo(settings.workingFormat);
    if (!filtersFirst && settings.applyFilters)
        page = filtered(page, settings.filters);
    return ZORVAK_PageImage(page);
}

} // namespace PagePreProcessing

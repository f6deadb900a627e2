#pragma once

#include "printing/raster/ZORVAK_PageImage.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QVariantList>

#include <optional>

// What the pre-processing of a print page's picture takes: the page's values
// with the options of one call applied.
struct PreProcessSettings {
    QUrl imageURL;
    // One chain of filters (archivable filter objects), applied in order.
    QVariantList filters;
    bool applyFilters = false;
    QString gravity;
    QSizeF outputSize;
    // The page's vertical resolution over its horizontal one.
    double resolutionRatio = 1;
    bool autoRotate = true;
    bool isPreview = false;
    bool drawsCanvas = true;
    std::optional<QSizeF> previewSize;
    QImage::Format workingFormat = QImage::Format_RGBA8888_Premultiplied;
};

// The picture of a print page made ready for its printer: loaded upright, turned
// to the page's orientation, scaled to the page by the gravity (Lanczos), its
// pixels made square for the printer's resolutions, centred and cropped on the
// page, white where it leaves the page bare, and filtered.
namespace PagePreProcessing {

// The gravities, named as Core Animation names them.
inline const QString GravityResize = QStringLiteral("resize");
inline const QString GravityResizeAspect = QStringLiteral("resizeAspect");
inline const QString GravityResizeAspectFill = QStringLiteral("resizeAspectFill");

// The ratio of the vertical to the horizontal resolution; 1 when either is 0
// or the ratio is not a finite number.
double resolutionRatio(const QSizeF& resolution);

// The page's picture; a null picture when there is no image URL or the image
// cannot be read.
ZORVAK_PageImage preProcessed(const PreProcessSettings& settings);

} // namespace PagePreProcessing

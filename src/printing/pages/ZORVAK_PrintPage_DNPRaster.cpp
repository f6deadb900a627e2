// The DNP page's picture: one image on the sheet, or several laid out by the multicut's frames.
#include "platform/Log.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "printing/dnp/DNPFrames.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

ZORVAK_PageImage ZORVAK_PrintPage_DNP::imagePreProcessWithOptions(const QVariantMap& options) const
{
    if (multicut() == 0) {
        const bool preview = platform::StringValues::boolValue(options.value(kImageIsPreview));
        return preview ? ZORVAK_PrintPage::imagePreProcessWithOptions(options) : ZORVAK_PageImage();
    }
    if (inputImages().size() == 1)
        return ZORVAK_PrintPage::imagePreProcessWithOptions(options);
    return imagePreProcessMultiWithOptions(options);
}

ZORVAK_PageImage ZORVAK_PrintPage_DNP::imagePreProcessMultiWithOptions(const QVariantMap& options) const
{
    if (multicut() == 0)
        return {};
    const QRect sheet({0, 0}, outputSize().toSize());
    ZORVAK_PageImage canvas = ZORVAK_PageImage::filled(Qt::white, sheet, rasterContextFormatWorking());
    if (canvas.isNull())
        return {};
    const QStringList frames = dnp_framesForMulticut(multicut(), hiRes());
    const QList<QUrl> images = inputImages();
    const FilterChains chains = imageFilters();
    QVariantMap frameOptions = options;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QRect frame = platform::GeometryText::rectFromString(frames[i]).toRect();
        frameOptions[kImageURLImage] = images.isEmpty() ? QUrl(QString()) : images.value(i, images.last());
        frameOptions[kImageImageFilters] = chains.value(i).toList();
        frameOptions[kImageOutputSize] = platform::GeometryText::stringFromSize(frame.size());
        frameOptions[kImageDrawsCanvas] = false;
        const ZORVAK_PageImage picture = ZORVAK_PrintPage::imagePreProcessWithOptions(frameOptions).translated(frame.x(), frame.y());
        if (picture.isNull()) {
            platform::Log::error(QStringLiteral("no picture for frame %1 of multicut %2: it stays white").arg(i).arg(multicut()));
            continue;
        }
        if (!sheet.contains(picture.extent()))
            platform::Log::error(QStringLiteral("frame %1 of multicut %2 reaches past the sheet and is clipped").arg(i).arg(multicut()));
        canvas = picture.composedOver(canvas);
    }
    return canvas.cropped(sheet);
}

// The print page's pre-processing: the page's picture made ready for its printer.
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/raster/PagePreProcessing.h"

namespace {

// The option's value, or `absent` when it is missing or null.
QVariant optionValue(const QVariantMap& options, const QString& key, const QVariant& absent = {})
{
    const QVariant value = options.value(key);
    return value.isValid() && !value.isNull() ? value : absent;
}

QUrl urlValue(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? QUrl(value.toString()) : value.toUrl();
}

} // namespace

ZORVAK_PageImage ZORVAK_PrintPage::imagePreProcessWithOptions(const QVariantMap& options) const
{
    using platform::StringValues::boolValue;
    PreProcessSettings settings;
    settings.isPreview = boolValue(optionValue(options, kImageIsPreview, false));
    settings.drawsCanvas = boolValue(optionValue(options, kImageDrawsCanvas, true));
    settings.imageURL = urlValue(optionValue(options, kImageURLImage, m_inputImages.value(0)));
    settings.filters = optionValue(options, kImageImageFilters, m_imageFilters.value(0)).toList();
    settings.applyFilters = applyImageFilters();
    settings.gravity = optionValue(options, kImageGravity, imageGravity()).toString();
    const QVariant outputSizeText = optionValue(options, kImageOutputSize);
    settings.outputSize = outputSizeText.isValid() ? platform::GeometryText::sizeFromString(outputSizeText.toString()) : outputSize();
    if (const QVariant previewSizeText = optionValue(options, kImagePreviewSize); previewSizeText.isValid())
        settings.previewSize = platform::GeometryText::sizeFromString(previewSizeText.toString());
    settings.resolutionRatio = PagePreProcessing::resolutionRatio(outputResolution());
    settings.autoRotate = autoRotate();
    settings.workingFormat = rasterContextFormatWorking();
    return PagePreProcessing::preProcessed(settings);
}

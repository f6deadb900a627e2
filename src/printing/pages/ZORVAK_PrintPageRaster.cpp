// The print page's rasters: the page's picture as pixels for the printer.
#include "printing/pages/ZORVAK_PrintPage.h"

namespace {

struct RasterLayout {
    size_t bitsPerComponent;
    size_t numberOfComponents;
    ZORVAK_PrintPage::AlphaInfo alphaInfo;
};

// The layouts handed over as they are; any other raster is converted to 8-bit RGBX first.
std::optional<RasterLayout> layoutOf(QImage::Format format)
{
    using Alpha = ZORVAK_PrintPage::AlphaInfo;
    switch (format) {
    case QImage::Format_RGBX8888: return RasterLayout{8, 4, Alpha::NoneSkipLast};
    case QImage::Format_RGBA8888: return RasterLayout{8, 4, Alpha::Last};
    case QImage::Format_RGBA8888_Premultiplied: return RasterLayout{8, 4, Alpha::PremultipliedLast};
    case QImage::Format_RGB888: return RasterLayout{8, 3, Alpha::None};
    case QImage::Format_Grayscale8: return RasterLayout{8, 1, Alpha::None};
    case QImage::Format_Grayscale16: return RasterLayout{16, 1, Alpha::None};
    case QImage::Format_Alpha8: return RasterLayout{8, 1, Alpha::Only};
    case QImage::Format_RGBX64: return RasterLayout{16, 4, Alpha::NoneSkipLast};
    case QImage::Format_RGBA64: return RasterLayout{16, 4, Alpha::Last};
    case QImage::Format_RGBA64_Premultiplied: return RasterLayout{16, 4, Alpha::PremultipliedLast};
    default: return std::nullopt;
    }
}

} // namespace

QImage ZORVAK_PrintPage::imageRaster() const
{
    return renderedImage({});
}

void ZORVAK_PrintPage::rasterData(const RasterDataBlock& block) const
{
    if (!block)
        return;
    QImage raster = imageRaster();
    if (raster.isNull())
        return;
    std::optional<RasterLayout> layout = layoutOf(raster.format());
    if (!layout) {
        raster.convertTo(QImage::Format_RGBX8888);
        layout = layoutOf(raster.format());
    }
    const QByteArray pixels(reinterpret_cast<const char*>(raster.constBits()), static_cast<qsizetype>(raster.sizeInBytes()));
    block(size_t(raster.width()), size_t(raster.height()), size_t(raster.bytesPerLine()), layout->bitsPerComponent, layout->numberOfComponents,
          layout->alphaInfo, 0, pixels);
}

QImage ZORVAK_PrintPage::renderedImage(const QVariantMap& options) const
{
    (void)options;
    return {};
}

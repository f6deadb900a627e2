// The print page's rasters: the page's picture as pixels for the printer.
#include "platform/Error.h"
#include "platform/text/StringValues.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/raster/ZORVAK_ColorSpace.h"

#include <QStringList>

#include <limits>

namespace {

const QString WidthKey = QStringLiteral("width");
const QString HeightKey = QStringLiteral("height");
const QString NumberOfComponentsKey = QStringLiteral("numberOfComponents");
const QString BytesPerRowKey = QStringLiteral("bytesPerRow");
const QString BitsPerComponentKey = QStringLiteral("bitsPerComponent");
const QString AlphaInfoKey = QStringLiteral("alphaInfo");
const QString ColorSpaceKey = QStringLiteral("colorSpace");
const QString PlanarKey = QStringLiteral("planar");
const QString CmyKey = QStringLiteral("cmy");
const QString ErrorKey = QStringLiteral("error");

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

// The dictionary as a log line shows it; profile data by its length.
QString describedProperties(const QVariantMap& properties)
{
    QStringList entries;
    for (auto entry = properties.begin(); entry != properties.end(); ++entry) {
        const QString value = entry.value().typeId() == QMetaType::QByteArray ? QStringLiteral("<%1 bytes>").arg(entry.value().toByteArray().size())
                                                                               : entry.value().toString();
        entries << QStringLiteral("    %1 = %2;").arg(entry.key(), value);
    }
    return QStringLiteral("{\n%1\n}").arg(entries.join(QLatin1Char('\n')));
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
    const ZORVAK_PageImage picture = imagePreProcessWithOptions(options);
    if (picture.isNull())
        return {};
    const auto space = outputColorSpace();
    QImage::Format format = rasterContextFormatOutput();
    if (space->model() == ZORVAK_ColorSpace::Model::Monochrome)
        format = QImage::toPixelFormat(format).bitsPerPixel() > 32 ? QImage::Format_Grayscale16 : QImage::Format_Grayscale8;
    return space->convertedFromSRGB(picture.image(), format);
}

QVariant ZORVAK_PrintPage::imageRasterWithProperties(QVariantMap* properties) const
{
    using namespace platform::StringValues;
    const QVariantMap asked = properties ? *properties : QVariantMap();
    const int bitsPerComponent = integerValue(asked.value(BitsPerComponentKey)) == 16 ? 16 : 8;
    return rasterWithLayout(properties, bitsPerComponent, boolValue(asked.value(PlanarKey)), boolValue(asked.value(CmyKey)));
}

QVariant ZORVAK_PrintPage::rasterWithLayout(QVariantMap* properties, int bitsPerComponent, bool planar, bool cmy) const
{
    const ZORVAK_PageImage picture = imagePreProcessWithOptions({});
    if (picture.isNull())
        return {};
    auto space = outputColorSpace();
    if (space->model() != ZORVAK_ColorSpace::Model::RGB)
        space = ZORVAK_ColorSpace::sRGB();
    const QSize size = picture.extent().size();
    QVariantMap out{{WidthKey, size.width()},
                    {HeightKey, size.height()},
                    {NumberOfComponentsKey, 3},
                    {BytesPerRowKey, qint64(size.width()) * bitsPerComponent * 4 / 8},
                    {BitsPerComponentKey, bitsPerComponent},
                    {AlphaInfoKey, int(AlphaInfo::NoneSkipLast)},
                    {ColorSpaceKey, space->iccData()}};
    const qsizetype planeBytes = qsizetype(size.width()) * size.height() * (bitsPerComponent / 8);
    QByteArray samples;
    if (planeBytes > 0 && planeBytes <= std::numeric_limits<qsizetype>::max() / 3)
        samples = QByteArray(planeBytes * 3, Qt::Uninitialized);
    if (samples.isEmpty() || !space->renderSamples(picture.image(), {bitsPerComponent, planar, cmy}, samples.data())) {
        const QString message = QStringLiteral("FAILED to get a context for properties:%1").arg(describedProperties(out));
        if (properties)
            *properties = {{ErrorKey, QVariant::fromValue(platform::Error{platform::Error::CocoaDomain, -1, message})}};
        return {};
    }
    if (properties)
        *properties = out;
    if (!planar)
        return samples;
    return QVariant::fromValue(QByteArrayList{samples.first(planeBytes), samples.sliced(planeBytes, planeBytes), samples.last(planeBytes)});
}

QByteArray ZORVAK_PrintPage::rgb_8_chunky(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 8, false, false).toByteArray();
}

QByteArrayList ZORVAK_PrintPage::rgb_8_planar(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 8, true, false).value<QByteArrayList>();
}

QByteArray ZORVAK_PrintPage::cmy_8_chunky(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 8, false, true).toByteArray();
}

QByteArrayList ZORVAK_PrintPage::cmy_8_planar(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 8, true, true).value<QByteArrayList>();
}

QByteArray ZORVAK_PrintPage::rgb_16_chunky(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 16, false, false).toByteArray();
}

QByteArray ZORVAK_PrintPage::cmy_16_chunky(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 16, false, true).toByteArray();
}

QByteArrayList ZORVAK_PrintPage::rgb_16_planar(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 16, true, false).value<QByteArrayList>();
}

QByteArrayList ZORVAK_PrintPage::cmy_16_planar(QVariantMap* properties) const
{
    return rasterWithLayout(properties, 16, true, true).value<QByteArrayList>();
}

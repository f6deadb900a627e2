// Cost of a DNP page's raster: a 12-megapixel photo pre-processed for a 4x6 and a 6x8 sheet
// and rendered into a printer profile of colour tables; measured against Qt's own decode and
// smooth scale of the same photo to the sheet and one lcms2 transform into the same profile.
#include "PhotoFixtures.h"
#include "TestProfiles.h"
#include "printing/dnp/DNPMediaTables.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <lcms2.h>

namespace {

// Fills a colour table from a transform between the 16-bit encodings of two spaces.
cmsInt32Number sampleTransform(const cmsUInt16Number in[], cmsUInt16Number out[], void* transform)
{
    cmsDoTransform(static_cast<cmsHTRANSFORM>(transform), in, out, 1);
    return 1;
}

// A colour table of `grid` points a side made from the transform `from` to `to`.
cmsPipeline* tablePipeline(cmsHPROFILE from, cmsUInt32Number fromType, cmsHPROFILE to, cmsUInt32Number toType, int grid)
{
    cmsHTRANSFORM transform = cmsCreateTransform(from, fromType, to, toType, INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE);
    cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(grid), 3, 3, nullptr);
    cmsStageSampleCLut16bit(table, sampleTransform, transform, 0);
    cmsPipelineInsertStage(pipeline, cmsAT_END, table);
    cmsDeleteTransform(transform);
    return pipeline;
}

// A printer's RGB output profile of colour tables: a wide-gamut, darker rendering of sRGB.
QByteArray tablePrinterProfile()
{
    cmsHPROFILE device =
        kova::test::matrixRgbProfile(6504, {{0.68, 0.31, 1}, {0.26, 0.67, 1}, {0.15, 0.05, 1}}, 2.4);
    cmsHPROFILE lab = cmsCreateLab2Profile(nullptr);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.4); // tables of 16-bit entries (lut16), Lab in its version 2 encoding
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* toLab = tablePipeline(device, TYPE_RGB_16, lab, TYPE_LabV2_16, 17);
    cmsPipeline* fromLab = tablePipeline(lab, TYPE_LabV2_16, device, TYPE_RGB_16, 33);
    cmsWriteTag(profile, cmsSigAToB0Tag, toLab);
    cmsWriteTag(profile, cmsSigBToA0Tag, fromLab);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray data(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, data.data(), &size);
    cmsPipelineFree(toLab);
    cmsPipelineFree(fromLab);
    cmsCloseProfile(profile);
    cmsCloseProfile(lab);
    cmsCloseProfile(device);
    return data;
}

// The photo and the printer profile, written once for the whole run.
struct Fixtures {
    QTemporaryDir folder;
    QString photo;
    QString profile;
    QByteArray profileData;

    Fixtures()
    {
        photo = folder.filePath(QStringLiteral("photo.jpeg"));
        profile = folder.filePath(QStringLiteral("printer.icc"));
        PhotoFixtures::writePhoto(photo, PhotoFixtures::photoLikePicture(QSize(4000, 3000), 0x2545F491u));
        profileData = tablePrinterProfile();
        QFile file(profile);
        if (file.open(QIODevice::WriteOnly))
            file.write(profileData);
    }

    static const Fixtures& shared()
    {
        static const Fixtures fixtures;
        return fixtures;
    }
};

// Qt alone: the photo decoded, smooth-scaled to fill the sheet, cropped and transformed once.
bool plainRaster(const Fixtures& fixtures, QSize sheet)
{
    QImageReader reader(fixtures.photo);
    const QImage photo = reader.read();
    if (photo.isNull())
        return false;
    const QImage filled = photo.scaled(sheet, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QImage page = filled.copy(QRect(QPoint((filled.width() - sheet.width()) / 2, (filled.height() - sheet.height()) / 2), sheet))
                            .convertToFormat(QImage::Format_RGB888);
    cmsHPROFILE sRGB = cmsCreate_sRGBProfile();
    cmsHPROFILE printer = cmsOpenProfileFromMem(fixtures.profileData.constData(), cmsUInt32Number(fixtures.profileData.size()));
    cmsHTRANSFORM transform = cmsCreateTransform(sRGB, TYPE_RGB_8, printer, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    QByteArray samples(qsizetype(sheet.width()) * sheet.height() * 3, Qt::Uninitialized);
    if (transform)
        cmsDoTransformLineStride(transform, page.constBits(), samples.data(), cmsUInt32Number(sheet.width()), cmsUInt32Number(sheet.height()),
                             cmsUInt32Number(page.bytesPerLine()), cmsUInt32Number(sheet.width() * 3), 0, 0);
    const bool transformed = transform != nullptr;
    if (transform)
        cmsDeleteTransform(transform);
    cmsCloseProfile(printer);
    cmsCloseProfile(sRGB);
    return transformed;
}

void DNPPageRasterToPlainRatio(benchmark::State& state)
{
    const Fixtures& fixtures = Fixtures::shared();
    const qint32 multicut = qint32(state.range(0));
    const QSizeF sheet = dnp_pixelsForMulticut(multicut);
    ZORVAK_PrintPage_DNP page;
    page.setMulticut(multicut);
    page.setInputImages({QUrl::fromLocalFile(fixtures.photo)});
    page.setPrinterProfileICC(QUrl::fromLocalFile(fixtures.profile));
    page.setColorManagement(2);
    PhotoFixtures::measureAgainstPlain(
        state, [&] { return plainRaster(fixtures, sheet.toSize()); },
        [&] {
            QVariantMap properties;
            return !page.rgb_8_chunky(&properties).isEmpty();
        });
}

} // namespace

// Multicut 2 is the 4x6 sheet, multicut 4 the 6x8 one.
BENCHMARK(DNPPageRasterToPlainRatio)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond)->UseManualTime();

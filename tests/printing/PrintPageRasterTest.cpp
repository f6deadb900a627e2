#include "FileFixtures.h"
#include "TestProfiles.h"

#include "printing/dnp/DNPFrames.h"
#include "printing/dnp/DNPMediaTables.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"
#include "printing/raster/ZORVAK_ColorSpace.h"
#include "platform/text/GeometryText.h"

#include <QPainter>

#include <thread>

#include <gtest/gtest.h>
#include <lcms2.h>

namespace {

using kova::test::ScratchFolder;
using kova::test::cmykPlaceholderProfile;
using kova::test::greyProfile;
using kova::test::matrixRgbProfile;

// A probe: the colour expected at (x, y) of a picture, rows from the top.
struct Probe {
    int x, y;
    QColor colour;
};

const QColor Red(255, 0, 0), Green(0, 255, 0), Blue(0, 0, 255), Yellow(255, 255, 0), Black(0, 0, 0), White(255, 255, 255),
    Clear(0, 0, 0, 0);

// A landscape picture of quadrants (red, green over blue, yellow) with a black marker in its top
// left corner; turned a quarter turn counter-clockwise for portrait.
QImage quadrants(bool portrait = false)
{
    QImage picture(120, 80, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 60, 40, Red);
    painter.fillRect(60, 0, 60, 40, Green);
    painter.fillRect(0, 40, 60, 40, Blue);
    painter.fillRect(60, 40, 60, 40, Yellow);
    painter.fillRect(0, 0, 8, 8, Black);
    painter.end();
    return portrait ? picture.transformed(QTransform().rotate(-90)) : picture;
}

class PrintPageRaster : public ::testing::Test {
protected:
    QUrl write(const QImage& picture, const QString& name, const char* format = "PNG")
    {
        const QString path = m_folder.path(name);
        picture.save(path, format, 100);
        return QUrl::fromLocalFile(path);
    }
    QUrl writeProfile(cmsHPROFILE profile, const QString& name)
    {
        const QString path = m_folder.path(name);
        cmsSaveProfileToFile(profile, path.toLocal8Bit().constData());
        cmsCloseProfile(profile);
        return QUrl::fromLocalFile(path);
    }
    // A page of `size` at `resolution` showing the quadrants.
    void setUpPage(ZORVAK_PrintPage& page, QSizeF size, QSizeF resolution = {300, 300}, bool portrait = false, const char* format = "PNG")
    {
        page.setInputImages({write(quadrants(portrait), QStringLiteral("quadrants.") + QString::fromLatin1(format).toLower(), format)});
        page.setOutputSize(size);
        page.setOutputResolution(resolution);
    }

    ScratchFolder m_folder;
};

void expectProbes(const QImage& picture, const std::vector<Probe>& probes, const std::string& row)
{
    for (const Probe& probe : probes) {
        const QColor found = picture.pixelColor(probe.x, probe.y);
        const int distance = std::max({std::abs(found.red() - probe.colour.red()), std::abs(found.green() - probe.colour.green()),
                                       std::abs(found.blue() - probe.colour.blue()), std::abs(found.alpha() - probe.colour.alpha())});
        EXPECT_LE(distance, 3) << row << " at " << probe.x << "," << probe.y << ": " << found.name(QColor::HexArgb).toStdString();
    }
}

} // namespace

TEST_F(PrintPageRaster, gravitiesScaleCropAndFillThePage)
{
    const QVariantMap bare{{ZORVAK_PrintPage::kImageDrawsCanvas, false}};
    const struct {
        QString gravity;
        QVariantMap options;
        QSize size;
        std::vector<Probe> probes;
    } rows[] = {
        {"resizeAspect", {}, {240, 240}, {{60, 60, Red}, {180, 180, Yellow}, {120, 10, White}, {120, 230, White}, {4, 44, Black}}},
        {"resize", {}, {240, 240}, {{60, 60, Red}, {180, 60, Green}, {120, 10, White}}},
        {"resizeAspect", bare, {240, 240}, {{60, 60, Red}, {120, 10, Clear}, {120, 230, Clear}}},
        {"resizeAspectFill", {}, {240, 240}, {{5, 5, Red}, {210, 60, Green}, {30, 200, Blue}, {210, 200, Yellow}}},
        {"center", {}, {120, 80}, {{2, 2, Black}, {100, 70, Yellow}}},
        {"top", {}, {120, 80}, {{2, 2, Black}, {30, 70, Blue}}},
    };
    for (const auto& row : rows) {
        ZORVAK_PrintPage page;
        setUpPage(page, {240, 240});
        page.setImageGravity(row.gravity);
        const QImage picture = page.imagePreProcessWithOptions(row.options).image();
        ASSERT_EQ(picture.size(), row.size) << row.gravity.toStdString();
        expectProbes(picture, row.probes, row.gravity.toStdString());
    }
}

TEST_F(PrintPageRaster, resolutionsAndRotationShapeThePicture)
{
    const struct {
        const char* name;
        QSizeF size, resolution;
        bool portrait, autoRotate;
        std::vector<Probe> probes;
        const char* format = "PNG";
    } rows[] = {
        {"portrait turned", {240, 160}, {300, 300}, true, true, {{4, 4, Black}, {180, 40, Green}, {60, 120, Blue}}},
        {"portrait kept", {240, 160}, {300, 300}, true, false, {{5, 80, White}, {235, 80, White}, {100, 40, Green}, {150, 120, Blue}}},
        {"hi-res", {240, 320}, {300, 600}, false, true, {{4, 28, Black}, {20, 4, Red}, {180, 80, Green}, {60, 240, Blue}, {4, 36, Red}}},
        {"no resolution", {240, 160}, {0, 0}, false, true, {{4, 4, Black}, {20, 20, Red}, {180, 120, Yellow}}},
        {"no height resolution", {240, 160}, {300, 0}, false, true, {{4, 4, Black}, {20, 20, Red}, {180, 120, Yellow}}},
        {"JPEG decoded at a quarter", {30, 20}, {300, 300}, false, true, {{8, 5, Red}, {22, 5, Green}, {8, 15, Blue}, {22, 15, Yellow}}, "JPEG"},
    };
    for (const auto& row : rows) {
        ZORVAK_PrintPage page;
        setUpPage(page, row.size, row.resolution, row.portrait, row.format);
        page.setImageGravity(QStringLiteral("resizeAspect"));
        page.setAutoRotate(row.autoRotate);
        const QImage picture = page.imagePreProcessWithOptions({}).image();
        ASSERT_EQ(picture.size(), row.size.toSize()) << row.name;
        expectProbes(picture, row.probes, row.name);
    }
}

TEST_F(PrintPageRaster, sampleBuffersComeInEveryLayout)
{
    using Raster = QVariant (*)(const ZORVAK_PrintPage&, QVariantMap*);
    const struct {
        const char* name;
        Raster raster;
        int bits;
        bool planar;
        // The samples of a red pixel, then of a white one.
        std::array<quint16, 3> red;
    } rows[] = {
        {"rgb_8_chunky", [](auto& p, auto* d) { return QVariant(p.rgb_8_chunky(d)); }, 8, false, {255, 0, 0}},
        {"cmy_8_chunky", [](auto& p, auto* d) { return QVariant(p.cmy_8_chunky(d)); }, 8, false, {255, 255, 0}},
        {"rgb_8_planar", [](auto& p, auto* d) { return QVariant::fromValue(p.rgb_8_planar(d)); }, 8, true, {255, 0, 0}},
        {"cmy_8_planar", [](auto& p, auto* d) { return QVariant::fromValue(p.cmy_8_planar(d)); }, 8, true, {255, 255, 0}},
        {"rgb_16_chunky", [](auto& p, auto* d) { return QVariant(p.rgb_16_chunky(d)); }, 16, false, {65535, 0, 0}},
        {"cmy_16_chunky", [](auto& p, auto* d) { return QVariant(p.cmy_16_chunky(d)); }, 16, false, {65535, 65535, 0}},
        {"rgb_16_planar", [](auto& p, auto* d) { return QVariant::fromValue(p.rgb_16_planar(d)); }, 16, true, {65535, 0, 0}},
        {"cmy_16_planar", [](auto& p, auto* d) { return QVariant::fromValue(p.cmy_16_planar(d)); }, 16, true, {65535, 65535, 0}},
        {"bitsPerComponent 12", [](auto& p, auto* d) { return p.imageRasterWithProperties(d); }, 8, false, {255, 0, 0}},
    };
    ZORVAK_PrintPage page;
    setUpPage(page, {240, 240});
    page.setImageGravity(QStringLiteral("resizeAspect"));
    for (const auto& row : rows) {
        QVariantMap properties{{"bitsPerComponent", 12}};
        const QVariant raster = row.raster(page, &properties);
        EXPECT_EQ(properties.value("width"), 240) << row.name;
        EXPECT_EQ(properties.value("bitsPerComponent"), row.bits) << row.name;
        EXPECT_EQ(properties.value("bytesPerRow").toInt(), 240 * row.bits / 2) << row.name;
        EXPECT_EQ(properties.value("alphaInfo"), 5) << row.name;
        const QByteArrayList planes = row.planar ? raster.value<QByteArrayList>() : QByteArrayList{raster.toByteArray()};
        ASSERT_EQ(planes.size(), row.planar ? 3 : 1) << row.name;
        const auto sample = [&](int x, int y, int component) -> quint16 {
            const qsizetype index = row.planar ? qsizetype(y) * 240 + x : (qsizetype(y) * 240 + x) * 3 + component;
            const QByteArray& plane = planes[row.planar ? component : 0];
            return row.bits == 16 ? reinterpret_cast<const quint16*>(plane.constData())[index] : quint8(plane[index]);
        };
        const bool cmy = std::string(row.name).starts_with("cmy");
        for (int component = 0; component < 3; ++component) {
            EXPECT_NEAR(sample(60, 60, component), row.red[component], row.bits == 16 ? 800 : 3) << row.name << " " << component;
            EXPECT_EQ(sample(120, 10, component), cmy ? 0 : (1 << row.bits) - 1) << row.name << " white " << component;
        }
    }
}

TEST_F(PrintPageRaster, printerProfilesAreUsedOrRefused)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 5000);
    const QUrl rgb = writeProfile(matrixRgbProfile(5000, {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}, 1.8),
                                  QStringLiteral("rgb.icc"));
    const QUrl grey = writeProfile(greyProfile(&white, 1.8), QStringLiteral("grey.icc"));
    const QUrl cmyk = writeProfile(cmykPlaceholderProfile(), QStringLiteral("cmyk.icc"));

    // Pure red in the RGB profile, as lcms2 converts it.
    cmsHPROFILE sRGB = cmsCreate_sRGBProfile();
    cmsHPROFILE printer = cmsOpenProfileFromFile(rgb.toLocalFile().toLocal8Bit().constData(), "r");
    cmsHTRANSFORM transform = cmsCreateTransform(sRGB, TYPE_RGB_8, printer, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    const quint8 red[3] = {255, 0, 0};
    quint8 printerRed[3];
    cmsDoTransform(transform, red, printerRed, 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(printer);
    cmsCloseProfile(sRGB);

    const struct {
        const char* name;
        QUrl profile;
        qint32 colorManagement;
        QImage::Format format;
        std::string log;
        bool kept;
    } rows[] = {
        {"rgb", rgb, 2, QImage::Format_RGBX8888, "", true},
        {"rgb unmanaged", rgb, 0, QImage::Format_RGBX8888, "", true},
        {"grey", grey, 1, QImage::Format_Grayscale8, "", true},
        {"cmyk", cmyk, 2, QImage::Format_RGBX8888, "incompatible color space 2 for color profile. must be RGB or monochrome!", false},
    };
    for (const auto& row : rows) {
        ZORVAK_PrintPage page;
        setUpPage(page, {240, 240});
        page.setPrinterProfileICC(row.profile);
        page.setColorManagement(row.colorManagement);
        testing::internal::CaptureStderr();
        const QImage raster = page.imageRaster();
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(raster.format(), row.format) << row.name;
        EXPECT_EQ(log.find(row.log) != std::string::npos && (row.log.empty() == log.empty()), true) << row.name << ": " << log;
        EXPECT_EQ(page.printerProfileICC().isEmpty(), !row.kept) << row.name;
        EXPECT_EQ(page.colorManagement(), row.kept ? row.colorManagement : 1) << row.name;
    }
    ZORVAK_PrintPage page;
    setUpPage(page, {240, 240});
    page.setPrinterProfileICC(rgb);
    page.setColorManagement(2);
    const QByteArray samples = page.rgb_8_chunky(nullptr);
    for (int component = 0; component < 3; ++component)
        EXPECT_NEAR(quint8(samples[(60 * 240 + 60) * 3 + component]), printerRed[component], 1) << component;
}

TEST_F(PrintPageRaster, dnpSheetShowsTheImagesFrameByFrame)
{
    QImage red(40, 30, QImage::Format_RGB32), green(40, 30, QImage::Format_RGB32);
    red.fill(Red);
    green.fill(Green);
    const QUrl redURL = write(red, QStringLiteral("red.png")), greenURL = write(green, QStringLiteral("green.png"));
    const QUrl missing = QUrl::fromLocalFile(m_folder.path(QStringLiteral("missing.png")));
    const struct {
        qint32 multicut;
        QList<QUrl> images;
        std::vector<QColor> frames;
        std::vector<std::string> logs;
    } rows[] = {
        {20, {redURL, greenURL}, {Red, Green, Green}, {}},
        {28, {missing, greenURL}, {White, Green, Green}, {"no picture for frame 0 of multicut 28", "frame 2 of multicut 28 reaches past the sheet"}},
    };
    for (const auto& row : rows) {
        const QSizeF sheet = dnp_pixelsForMulticut(row.multicut);
        ZORVAK_PrintPage_DNP page;
        page.setMulticut(row.multicut);
        page.setInputImages(row.images);
        testing::internal::CaptureStderr();
        const QImage picture = page.imagePreProcessWithOptions({}).image();
        const std::string log = testing::internal::GetCapturedStderr();
        const std::string name = "multicut " + std::to_string(row.multicut);
        ASSERT_EQ(picture.size(), sheet.toSize()) << name;
        const QStringList frames = dnp_framesForMulticut(row.multicut, false);
        ASSERT_EQ(size_t(frames.size()), row.frames.size()) << name;
        for (size_t i = 0; i < row.frames.size(); ++i) {
            const QRectF frame = platform::GeometryText::rectFromString(frames[qsizetype(i)]);
            const int top = int(sheet.height() - frame.center().y());
            expectProbes(picture, {{int(frame.center().x()), top, row.frames[i]}}, name + " frame " + std::to_string(i));
        }
        for (const std::string& line : row.logs)
            EXPECT_NE(log.find(line), std::string::npos) << name << ": " << log;
    }
    ZORVAK_PrintPage_DNP page;
    page.setInputImages({redURL});
    EXPECT_TRUE(page.imagePreProcessWithOptions({}).isNull()) << "no multicut, no print";
    EXPECT_FALSE(page.imagePreProcessWithOptions({{ZORVAK_PrintPage::kImageIsPreview, true}, {ZORVAK_PrintPage::kImagePreviewSize, "{64, 64}"}}).isNull());
}

TEST_F(PrintPageRaster, pagesRenderedOnSeveralThreadsDropARefusedProfile)
{
    cmsHPROFILE cmykProfile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetColorSpace(cmykProfile, cmsSigCmykData);
    cmsSetPCS(cmykProfile, cmsSigLabData);
    ZORVAK_PrintPage page;
    setUpPage(page, {64, 64});
    page.setPrinterProfileICC(writeProfile(cmykProfile, QStringLiteral("cmyk.icc")));
    page.setColorManagement(2);
    testing::internal::CaptureStderr();
    std::vector<std::thread> previews;
    for (int i = 0; i < 3; ++i)
        previews.emplace_back([&page] { EXPECT_EQ(page.imageRaster().format(), QImage::Format_RGBX8888); });
    for (std::thread& preview : previews)
        preview.join();
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(page.printerProfileICC().isEmpty());
    EXPECT_EQ(page.colorManagement(), 1);
}

TEST_F(PrintPageRaster, mitsubishiPagesRender16BitInThePrinterProfile)
{
    ZORVAK_PrintPageMitsu1 page;
    setUpPage(page, {});
    page.setMulticut(128); // 1864 x 1228: white at the sides of the picture fitted by its height
    page.setImageGravity(QStringLiteral("resizeAspect"));
    EXPECT_FALSE(page.outputColorSpace()->isSRGB()) << "the printer profile resource is found";
    const QImage raster = page.imageRaster();
    ASSERT_EQ(raster.format(), QImage::Format_RGBX64);
    EXPECT_EQ(reinterpret_cast<const quint16*>(raster.constScanLine(600))[0], 65535) << "white";
}

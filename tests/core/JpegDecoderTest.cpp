#include "core/image/ColorProfileConverter.h"
#include "core/image/ImageSource.h"
#include "core/image/JpegDecoder.h"
#include "core/image/UprightImageReader.h"

#include "ImageTestPictures.h"

#include <gtest/gtest.h>

#include <QColorSpace>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>

namespace {

using namespace kova::test;
using Ink = std::array<uchar, 4>;

const Ink cyanInk {255, 0, 0, 0};
const Ink noInk {0, 0, 0, 0};
const QColor cyan(0, 255, 255);
const QColor white(255, 255, 255);

struct JpegLayout {
    int width = 32;
    int height = 16;
    J_COLOR_SPACE input = JCS_CMYK;
    J_COLOR_SPACE stored = JCS_CMYK; // JCS_YCCK as Photoshop stores CMYK
    bool adobeMarker = false;
    QByteArray profile;
};

// Samples (1 or 4 bytes a pixel, rows packed) compressed at full quality.
QByteArray compressed(std::vector<uchar>& samples, const JpegLayout& layout)
{
    const int components = layout.input == JCS_GRAYSCALE ? 1 : 4;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &bytes, &length);
    info.image_width = JDIMENSION(layout.width);
    info.image_height = JDIMENSION(layout.height);
    info.input_components = components;
    info.in_color_space = layout.input;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_set_colorspace(&info, layout.stored);
    info.write_Adobe_marker = layout.adobeMarker;
    jpeg_start_compress(&info, TRUE);
    if (!layout.profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(layout.profile.constData()), unsigned(layout.profile.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = &samples[std::size_t(info.next_scanline) * layout.width * components];
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray jpeg(reinterpret_cast<const char*>(bytes), qsizetype(length));
    std::free(bytes);
    return jpeg;
}

// A CMYK JPEG whose left half carries `left` and right half `right` (each half
// a whole number of 8 x 8 blocks, so the colours survive exactly). With the
// Adobe marker the inks are stored inverted, as Adobe applications do.
QByteArray cmykJpeg(const Ink& left, const Ink& right, JpegLayout layout)
{
    std::vector<uchar> samples(std::size_t(layout.width) * layout.height * 4);
    for (std::size_t pixel = 0; pixel < samples.size() / 4; ++pixel) {
        const Ink& ink = int(pixel % std::size_t(layout.width)) < layout.width / 2 ? left : right;
        for (std::size_t c = 0; c < 4; ++c)
            samples[pixel * 4 + c] = layout.adobeMarker ? uchar(255 - ink[c]) : ink[c];
    }
    return compressed(samples, layout);
}

QByteArray grayJpeg(uchar level, const QByteArray& profile)
{
    std::vector<uchar> samples(16 * 16, level);
    return compressed(samples, {16, 16, JCS_GRAYSCALE, JCS_GRAYSCALE, false, profile});
}

QByteArray saved(cmsHPROFILE profile)
{
    cmsUInt32Number length = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &length));
    QByteArray bytes(qsizetype(length), '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &length);
    cmsCloseProfile(profile);
    return bytes;
}

// A CMYK printer profile that no naive conversion could imitate: cyan ink
// prints red, black ink black, paper white, magenta and yellow mid grey.
QByteArray cyanPrintsRedProfile()
{
    const auto lab = [](double l, double a, double b) {
        return std::array<cmsUInt16Number, 3> {cmsUInt16Number(l / 100 * 65535), cmsUInt16Number((a + 128) * 257), cmsUInt16Number((b + 128) * 257)};
    };
    std::vector<cmsUInt16Number> table;
    for (int c = 0; c < 2; ++c) {
        for (int m = 0; m < 2; ++m) {
            for (int y = 0; y < 2; ++y) {
                for (int k = 0; k < 2; ++k) {
                    const auto node = k ? lab(0, 0, 0) : c ? lab(54, 80, 67) : (m || y) ? lab(50, 0, 0) : lab(100, 0, 0);
                    table.insert(table.end(), node.begin(), node.end());
                }
            }
        }
    }
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
    // Identity curves around the table: the stored form of the tag requires them.
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 4, 3, table.data()));
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    return saved(profile);
}

// Grey stored in linear light: mid grey 128 is sRGB's 188.
QByteArray linearGrayProfile()
{
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsFreeToneCurve(linear);
    return saved(profile);
}

QImage decodedThroughSource(const QByteArray& jpeg, QSize scaledSize = {})
{
    const auto source = ImageSource::create(jpeg);
    if (!source)
        return {};
    platform::Error error;
    const QImage image = source->createImage(0, scaledSize, &error);
    EXPECT_FALSE(image.isNull()) << error.message.toStdString();
    return image;
}

TEST(JpegDecoderTest, CmykIsConvertedThroughItsEmbeddedProfile)
{
    const QByteArray profile = cyanPrintsRedProfile();
    for (const bool adobe : {false, true}) {
        const QByteArray jpeg = cmykJpeg(cyanInk, noInk, {.adobeMarker = adobe, .profile = profile});
        EXPECT_TRUE(JpegDecoder::needsColorConversion(jpeg));
        const QImage image = decodedThroughSource(jpeg);
        ASSERT_EQ(image.size(), QSize(32, 16)) << adobe;
        EXPECT_EQ(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
        EXPECT_TRUE(near(image.pixelColor(4, 8), red, 30)) << adobe << " " << image.pixelColor(4, 8).name().toStdString();
        EXPECT_TRUE(near(image.pixelColor(28, 8), white, 10)) << adobe << " " << image.pixelColor(28, 8).name().toStdString();
    }
    const QImage ycck = decodedThroughSource(cmykJpeg(cyanInk, noInk, {.stored = JCS_YCCK, .adobeMarker = true, .profile = profile}));
    ASSERT_EQ(ycck.size(), QSize(32, 16));
    EXPECT_TRUE(near(ycck.pixelColor(4, 8), red, 30)) << ycck.pixelColor(4, 8).name().toStdString();
    EXPECT_TRUE(near(ycck.pixelColor(28, 8), white, 10)) << ycck.pixelColor(28, 8).name().toStdString();
}

TEST(JpegDecoderTest, CmykWithoutUsableProfileIsConvertedNaively)
{
    const QByteArray rgbProfile = QColorSpace(QColorSpace::SRgb).iccProfile();
    for (const QByteArray& profile : {QByteArray(), rgbProfile, QByteArray("not a profile")}) {
        for (const bool adobe : {false, true}) {
            const QImage image = decodedThroughSource(cmykJpeg(cyanInk, Ink {0, 0, 0, 255}, {.adobeMarker = adobe, .profile = profile}));
            ASSERT_EQ(image.size(), QSize(32, 16));
            EXPECT_TRUE(near(image.pixelColor(4, 8), cyan, 6)) << adobe << " " << image.pixelColor(4, 8).name().toStdString();
            EXPECT_TRUE(near(image.pixelColor(28, 8), Qt::black, 6)) << adobe;
        }
    }
}

TEST(JpegDecoderTest, GrayIsConvertedThroughItsProfileAndLeftToQtWithoutOne)
{
    const QByteArray linear = grayJpeg(128, linearGrayProfile());
    EXPECT_TRUE(JpegDecoder::needsColorConversion(linear));
    const QColor converted = decodedThroughSource(linear).pixelColor(8, 8);
    EXPECT_NEAR(converted.red(), 188, 3);
    EXPECT_EQ(converted.red(), converted.blue());

    const QByteArray plain = grayJpeg(128, {});
    EXPECT_FALSE(JpegDecoder::needsColorConversion(plain));
    EXPECT_NEAR(decodedThroughSource(plain).pixelColor(8, 8).red(), 128, 2);
    EXPECT_FALSE(JpegDecoder::needsColorConversion(encoded(quadrants(16, 16), "JPEG")));
    EXPECT_FALSE(JpegDecoder::needsColorConversion(encoded(quadrants(16, 16), "PNG")));
}

TEST(JpegDecoderTest, ReducedDecodingAndPreviewsKeepTheConversion)
{
    const QByteArray jpeg = cmykJpeg(cyanInk, noInk, {.width = 256, .height = 128, .adobeMarker = true, .profile = cyanPrintsRedProfile()});
    const QImage reduced = decodedThroughSource(jpeg, QSize(20, 10));
    ASSERT_EQ(reduced.size(), QSize(20, 10));
    EXPECT_EQ(reduced.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_TRUE(near(reduced.pixelColor(2, 5), red, 30));
    EXPECT_TRUE(near(reduced.pixelColor(18, 5), white, 10));

    const QImage thumbnail = ImageSource::create(jpeg)->createThumbnail(64);
    ASSERT_EQ(thumbnail.size(), QSize(64, 32));
    EXPECT_TRUE(near(thumbnail.pixelColor(4, 16), red, 30));

    const QImage upright = UprightImageReader::read(jpeg, 100);
    ASSERT_EQ(upright.size(), QSize(100, 50));
    EXPECT_TRUE(near(upright.pixelColor(4, 25), red, 30));
}

TEST(JpegDecoderTest, DamagedDataGivesAnErrorNotACrash)
{
    const QByteArray jpeg = cmykJpeg(cyanInk, noInk, {.adobeMarker = true, .profile = cyanPrintsRedProfile()});
    QString error;
    EXPECT_TRUE(JpegDecoder::decode(QByteArray("\xFF\xD8\xFF\xC0garbage", 12), {}, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(JpegDecoder::needsColorConversion(QByteArray("\xFF\xD8", 2)));
    EXPECT_TRUE(JpegDecoder::decode(encoded(quadrants(16, 16), "JPEG"), {}, &error).isNull()); // RGB is Qt's
    // Every cut through the file: decoded (libjpeg fills what is missing) or refused, never a crash.
    for (qsizetype length = 0; length < jpeg.size(); length += 7)
        JpegDecoder::decode(jpeg.left(length));
}

TEST(ColorProfileConverterTest, RowsWithPaddingAreReadByTheirStride)
{
    // Two rows of two pixels, each row padded to 12 bytes with bytes that would show if read.
    const std::array<uchar, 24> samples {255, 0, 0, 0, 0, 0, 0, 0, 77, 77, 77, 77,
                                         0, 0, 0, 255, 0, 0, 0, 0, 77, 77, 77, 77};
    for (const QByteArray& profile : {QByteArray(), cyanPrintsRedProfile()}) {
        bool usedProfile = profile.isEmpty();
        const QImage image = ColorProfileConverter::toSRGB(samples.data(), 12, QSize(2, 2), ColorProfileConverter::Samples::Cmyk,
                                                           profile, &usedProfile);
        EXPECT_EQ(usedProfile, !profile.isEmpty());
        EXPECT_TRUE(near(image.pixelColor(0, 0), profile.isEmpty() ? cyan : red, 30));
        EXPECT_TRUE(near(image.pixelColor(1, 0), white, 3));
        EXPECT_TRUE(near(image.pixelColor(0, 1), Qt::black, 3));
        EXPECT_TRUE(near(image.pixelColor(1, 1), white, 3));
    }
}

} // namespace

#include "core/image/ZORVAK_ImageWriter.h"

#include "ImageFileFixtures.h"
#include "KilledChild.h"
#include "core/image/ImageProperties.h"
#include "core/image/ZORVAK_EXIF.h"
#include "platform/files/StagingItems.h"

#include <QColorSpace>
#include <QDateTime>
#include <QDir>
#include <QImageReader>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <latch>
#include <random>
#include <thread>
#include <vector>

using kova::test::ScratchFolder;
using kova::test::fileUrl;
using kova::test::entriesOf;
using kova::test::KilledChild;
using kova::test::makeJpeg;
using kova::test::makeOld;
using kova::test::readFile;
using kova::test::stagingItemsIn;
using kova::test::withoutExifSegments;
using kova::test::writeFile;

namespace {

// A rendered image as the templates produce it.
QImage renderedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    image.setColorSpace(QColorSpace::SRgb);
    image.fill(QColor(200, 80, 30));
    return image;
}

QVariantMap exifOf(const QString& path)
{
    return ImageProperties::read(readFile(path)).value_or(QVariantMap()).value(ImageProperties::exifDictionaryKey).toMap();
}

QSize sizeOf(const QString& path) { return QImageReader(path).size(); }

class ImageWriter : public ::testing::Test {
protected:
    ScratchFolder folder;
    const QImage image = renderedImage(60, 40);
};

} // namespace

TEST_F(ImageWriter, writtenFileCarriesCommentNoteDatesAndOrientationOne)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    platform::Error error{platform::Error::CocoaDomain, 1, QStringLiteral("stale")};
    const QVariantMap options{{zorvakImageKey_exifComment, QStringLiteral("<plist>upload pt5</plist>")},
                              {zorvakImageKey_exifNote, QStringLiteral("note ✓")}};
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(folder.path(QStringLiteral("out/print.png"))), options, &error));
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    EXPECT_TRUE(error.isNull());

    // The extension follows the type, the missing folder is made, nothing else is left behind.
    const QString written = folder.path(QStringLiteral("out/print.jpeg"));
    EXPECT_EQ(entriesOf(folder.path(QStringLiteral("out"))), QStringList{QStringLiteral("print.jpeg")});
    EXPECT_EQ(QImageReader(written).format(), QByteArray("jpeg"));
    EXPECT_EQ(sizeOf(written), QSize(60, 40));

    const QVariantMap properties = ImageProperties::read(readFile(written)).value();
    EXPECT_EQ(properties.value(ImageProperties::orientationKey).toInt(), 1);
    const QVariantMap exif = exifOf(written);
    EXPECT_EQ(exif.value(QStringLiteral("UserComment")), QStringLiteral("<plist>upload pt5</plist>"));
    EXPECT_EQ(exif.value(QStringLiteral("MakerNote")).toByteArray(), QStringLiteral("note ✓").toUtf8());
    const QString exifDate = QStringLiteral("yyyy:MM:dd HH:mm:ss");
    const QDateTime original = QDateTime::fromString(exif.value(QStringLiteral("DateTimeOriginal")).toString(), exifDate);
    const QDateTime digitized = QDateTime::fromString(exif.value(QStringLiteral("DateTimeDigitized")).toString(), exifDate);
    ASSERT_TRUE(original.isValid() && digitized.isValid());
    EXPECT_TRUE(before <= original && original <= digitized && digitized <= after);
}

TEST_F(ImageWriter, optionsFallBackToThePlatformKeysAndDefaults)
{
    const QString plain = folder.path(QStringLiteral("plain.jpeg"));
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(plain)));
    EXPECT_EQ(exifOf(plain).value(QStringLiteral("UserComment")), QStringLiteral("KOVA comment"));
    EXPECT_EQ(exifOf(plain).value(QStringLiteral("MakerNote")).toByteArray(), QByteArray("KOVA XML"));

    const QString platformKey = folder.path(QStringLiteral("platform.jpeg"));
    const QVariantMap platformComment{{ZORVAK_ImageWriter::exifUserCommentKey, QStringLiteral("from platform")}};
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(platformKey), platformComment));
    EXPECT_EQ(exifOf(platformKey).value(QStringLiteral("UserComment")), QStringLiteral("from platform"));

    // The writer's own key wins, also with the empty comment of a delivery without upload information.
    const QString ownKey = folder.path(QStringLiteral("own.jpeg"));
    QVariantMap both = platformComment;
    both.insert(zorvakImageKey_exifComment, QString());
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(ownKey), both));
    EXPECT_EQ(exifOf(ownKey).value(QStringLiteral("UserComment")), QString());

    // The quality reaches the encoder: a busy picture at 0.1 is far smaller than at 1.0.
    QImage busy = QImage::fromData(makeJpeg()).scaled(240, 180);
    const QString low = folder.path(QStringLiteral("low.jpeg"));
    const QString high = folder.path(QStringLiteral("high.jpeg"));
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(busy, fileUrl(low), {{zorvakImageKey_lossyCompressionQuality, 0.1}}));
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(busy, fileUrl(high), {{ZORVAK_ImageWriter::lossyCompressionQualityKey, 1.0}}));
    EXPECT_LT(readFile(low).size() * 2, readFile(high).size());
}

TEST_F(ImageWriter, withoutOverwritingTheNextFreeNameIsTaken)
{
    const QUrl print = fileUrl(folder.path(QStringLiteral("print.jpeg")));
    const QVariantMap keep{{zorvakImageKey_overwriteExistingFile, false}};
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, print, keep));
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, print, keep));
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, print, keep));
    EXPECT_EQ(entriesOf(folder.path()),
              (QStringList{QStringLiteral("print 1.jpeg"), QStringLiteral("print 2.jpeg"), QStringLiteral("print.jpeg")}));

    // Overwriting (the default) replaces the file.
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(renderedImage(30, 20), print));
    EXPECT_EQ(entriesOf(folder.path()).size(), 3);
    EXPECT_EQ(sizeOf(print.toLocalFile()), QSize(30, 20));

    // The naming scheme.
    EXPECT_EQ(ZORVAK_ImageWriter::URLWithoutOverwriting(print), fileUrl(folder.path(QStringLiteral("print 3.jpeg"))));
    const QString seven = folder.path(QStringLiteral("print 7.jpeg"));
    EXPECT_EQ(ZORVAK_ImageWriter::URLWithoutOverwriting(fileUrl(seven)), fileUrl(seven));
    const QString huge = folder.path(QStringLiteral("print 9223372036854775807.jpeg"));
    const QString bare = folder.path(QStringLiteral("notes"));
    ASSERT_TRUE(writeFile(seven, "x") && writeFile(huge, "x") && writeFile(bare, "x"));
    EXPECT_EQ(ZORVAK_ImageWriter::URLWithoutOverwriting(fileUrl(seven)), fileUrl(folder.path(QStringLiteral("print 8.jpeg"))));
    EXPECT_EQ(ZORVAK_ImageWriter::URLWithoutOverwriting(fileUrl(huge)),
              fileUrl(folder.path(QStringLiteral("print 9223372036854775807 1.jpeg"))));
    EXPECT_EQ(ZORVAK_ImageWriter::URLWithoutOverwriting(fileUrl(bare)), fileUrl(folder.path(QStringLiteral("notes 1"))));
}

TEST_F(ImageWriter, concurrentWritersNeverTakeTheSameName)
{
    constexpr int writers = 8;
    const QUrl print = fileUrl(folder.path(QStringLiteral("print.jpeg")));
    std::latch start(writers);
    std::vector<std::thread> threads;
    std::vector<char> results(writers, false);
    for (int index = 0; index < writers; ++index) {
        threads.emplace_back([&, index] {
            start.arrive_and_wait();
            results[index] = ZORVAK_ImageWriter::writeImage(image, print, {{zorvakImageKey_overwriteExistingFile, false}});
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::count(results.begin(), results.end(), true), writers);
    const QStringList files = entriesOf(folder.path());
    EXPECT_EQ(files.size(), writers) << files.join(QLatin1Char(',')).toStdString();
    for (const QString& file : files)
        EXPECT_EQ(sizeOf(folder.path(file)), QSize(60, 40)) << file.toStdString();
}

TEST_F(ImageWriter, downsamplingLimitsTheLongerSide)
{
    struct Case {
        QSize source;
        QVariant downsample;
        qint64 maxPixelLength;
        QSize expected;
    };
    const Case cases[] = {
        {{600, 400}, true, 200, {200, 133}},  {{400, 600}, true, 200, {133, 200}}, {{600, 400}, true, 800, {600, 400}},
        {{600, 400}, true, 500, {500, 333}},  {{600, 400}, false, 200, {600, 400}}, {{600, 400}, true, 0, {600, 400}},
        {{600, 400}, true, -5, {600, 400}},   {{600, 400}, true, 2147483647, {600, 400}}, {{600, 3}, true, 100, {100, 1}},
    };
    int index = 0;
    for (const Case& test : cases) {
        const QString path = folder.path(QStringLiteral("case%1.jpeg").arg(index++));
        ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(renderedImage(test.source.width(), test.source.height()), fileUrl(path),
                                                   {{zorvakImageKey_downsample, test.downsample},
                                                    {zorvakImageKey_maxPixelLength, test.maxPixelLength}}));
        EXPECT_EQ(sizeOf(path), test.expected) << path.toStdString();
    }
}

TEST_F(ImageWriter, failuresAreReportedAndTheOtherDestinationsWritten)
{
    // A comment too large for the EXIF segment is an error, not a file without it.
    platform::Error error;
    const QString oversize = folder.path(QStringLiteral("oversize.jpeg"));
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(image, fileUrl(oversize),
                                                {{zorvakImageKey_exifComment, QString(70000, QLatin1Char('c'))}}, &error));
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Failed to finalize image to"))) << error.message.toStdString();
    EXPECT_TRUE(entriesOf(folder.path()).isEmpty());

    // One bad destination of three: the others are written, the first error is kept.
    ASSERT_TRUE(writeFile(folder.path(QStringLiteral("blocker")), "x"));
    const QString good = folder.path(QStringLiteral("good.jpeg"));
    const QList<QUrl> destinations{QUrl(QStringLiteral("https://example.com/a.jpeg")), fileUrl(good),
                                   fileUrl(folder.path(QStringLiteral("blocker/inside.jpeg")))};
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(image, destinations, {}, &error));
    EXPECT_EQ(error.domain, platform::Error::CocoaDomain);
    EXPECT_TRUE(error.message.contains(QStringLiteral("not a path or URL"))) << error.message.toStdString();
    EXPECT_EQ(sizeOf(good), QSize(60, 40));

    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(image, QList<QUrl>{fileUrl(folder.path(QStringLiteral("blocker/x.jpeg")))}, {}, &error));
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Failed to create CGImageDestination"))) << error.message.toStdString();

    // A type without an image format, a null image, no destination.
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(image, fileUrl(folder.path(QStringLiteral("data.bin"))),
                                                {{zorvakImageKey_utType, QStringLiteral("public.data")}}, &error));
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("data"))));
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(QImage(), fileUrl(good), {}, &error));
    EXPECT_EQ(error.domain, platform::Error::POSIXDomain);
    EXPECT_EQ(error.code, 22);
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImage(image, QList<QUrl>{}, {}, &error));
    EXPECT_EQ(error.code, 22);
}

TEST_F(ImageWriter, pngAndTiffAreWrittenByTypeIdentifier)
{
    for (const auto& [type, name, format] : {std::tuple{"public.png", "print.png", "png"}, {"public.tiff", "print.tiff", "tiff"}}) {
        ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(folder.path(QStringLiteral("print"))),
                                                   {{zorvakImageKey_utType, QString::fromLatin1(type)},
                                                    {zorvakImageKey_exifComment, QStringLiteral("typed")}}))
            << type;
        const QString written = folder.path(QString::fromLatin1(name));
        EXPECT_EQ(QImageReader(written).format(), QByteArray(format));
        EXPECT_EQ(sizeOf(written), QSize(60, 40));
        EXPECT_EQ(exifOf(written).value(QStringLiteral("UserComment")), QStringLiteral("typed")) << type;
    }
}

TEST_F(ImageWriter, losslessCopyKeepsTheScanDataAndAddsTheComment)
{
    const QByteArray original = makeJpeg();
    const QString source = folder.path(QStringLiteral("IMG_1.JPG"));
    ASSERT_TRUE(writeFile(source, original));
    const QString copy = folder.path(QStringLiteral("upload/IMG_1.jpg"));

    platform::Error error;
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImageFile(fileUrl(source), fileUrl(copy), QStringLiteral("upload info"), false, &error));
    EXPECT_EQ(withoutExifSegments(readFile(copy)), original);
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(copy)), QStringLiteral("upload info"));
    EXPECT_EQ(readFile(source), original);

    // Without overwriting the next free name; with it the file is replaced; no comment, the bytes as they were.
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImageFile(original, fileUrl(copy), QString(), false));
    EXPECT_EQ(readFile(folder.path(QStringLiteral("upload/IMG_1 1.jpg"))), original);
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImageFile(original, fileUrl(copy), QString(), true));
    EXPECT_EQ(readFile(copy), original);
    EXPECT_EQ(entriesOf(folder.path(QStringLiteral("upload"))).size(), 2);
}

TEST_F(ImageWriter, losslessCopyFailuresWriteNothing)
{
    const QString target = folder.path(QStringLiteral("out/copy.jpeg"));
    platform::Error error;

    // A PNG is not copied into a JPEG file.
    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(image, fileUrl(folder.path(QStringLiteral("source.png"))),
                                               {{zorvakImageKey_utType, QStringLiteral("public.png")}}));
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImageFile(fileUrl(folder.path(QStringLiteral("source.png"))), fileUrl(target),
                                                    QStringLiteral("c"), true, &error));
    EXPECT_FALSE(error.isNull());

    // A comment that cannot be added fails the copy instead of dropping the comment.
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImageFile(makeJpeg(), fileUrl(target), QString(70000, QLatin1Char('c')), true, &error));
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Failed to set UserComment"))) << error.message.toStdString();

    // No source, no usable destination.
    EXPECT_FALSE(ZORVAK_ImageWriter::writeImageFile(fileUrl(folder.path(QStringLiteral("missing.jpeg"))), fileUrl(target),
                                                    QString(), true, &error));
    EXPECT_EQ(error.code, 22);
    for (const QUrl& unusable : {QUrl(QStringLiteral("relative.jpeg")), QUrl::fromLocalFile(QStringLiteral("/"))}) {
        EXPECT_FALSE(ZORVAK_ImageWriter::writeImageFile(makeJpeg(), unusable, QString(), true, &error));
        EXPECT_EQ(error.code, 22);
    }
    EXPECT_FALSE(ZORVAK_ImageWriter::makeEnclosingDirectoryForFileURL(QUrl::fromLocalFile(QStringLiteral("/"))));
    EXPECT_FALSE(QDir(folder.path(QStringLiteral("out"))).exists());
}

namespace {

const char writeChildVariable[] = "KOVA_KILLED_IMAGE_WRITE_FOLDER";

// A picture that compresses badly, so that writing it takes a while.
QImage noisyImage()
{
    QImage noise(400, 300, QImage::Format_RGB32);
    std::mt19937 random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random());
    return noise;
}

bool isWholeImage(const QString& path)
{
    return readFile(path).endsWith("\xFF\xD9") && QImageReader(path).read().size() == QSize(400, 300);
}

// A killed writer leaves the whole image or none under its name, and maybe a
// staging item; made stale, that goes with the next write. Counts in `staged`.
void expectWholeImageThenWriteAgain(const QString& folder, const QImage& noise, int& staged)
{
    const QString print = folder + QStringLiteral("/print.jpeg");
    const QStringList staging = stagingItemsIn(folder);
    ASSERT_EQ(entriesOf(folder).size(), staging.size() + (QFile::exists(print) ? 1 : 0));
    ASSERT_TRUE(!QFile::exists(print) || isWholeImage(print));
    for (const QString& item : staging)
        ASSERT_TRUE(makeOld(folder + QLatin1Char('/') + item, platform::StagingItems::staleAge + std::chrono::minutes(1)));
    staged += staging.isEmpty() ? 0 : 1;

    ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(noise, fileUrl(print)));
    EXPECT_EQ(entriesOf(folder), QStringList{QStringLiteral("print.jpeg")});
}

} // namespace

// Runs only as the child of the test below: writes one image over and over until it is killed.
TEST(ImageWriterKilledChild, WritesOverAndOver)
{
    if (!qEnvironmentVariableIsSet(writeChildVariable))
        GTEST_SKIP() << "runs as the child of ImageWriter.killedWritesLeaveWholeImagesAndTheNextWriteClearsTheirStaging";
    const QUrl print = fileUrl(qEnvironmentVariable(writeChildVariable) + QStringLiteral("/print.jpeg"));
    const QImage noise = noisyImage();
    KilledChild::startsWork();
    for (int write = 0; write < 1000; ++write)
        ASSERT_TRUE(ZORVAK_ImageWriter::writeImage(noise, print));
}

TEST_F(ImageWriter, killedWritesLeaveWholeImagesAndTheNextWriteClearsTheirStaging)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    constexpr int killRuns = 30;
    constexpr int childrenAtOnce = 10;
    QStringList folders;
    for (int each = 0; each < childrenAtOnce; ++each)
        folders += folder.path(QString::number(each));
    const QImage noise = noisyImage();
    KilledChild child(QStringLiteral("ImageWriterKilledChild.*"), writeChildVariable);
    int staged = 0;
    for (int round = 0; round < killRuns / childrenAtOnce; ++round) {
        ASSERT_EQ(child.runAndKill(folders, std::chrono::milliseconds(200)), childrenAtOnce) << "round " << round;
        for (const QString& written : folders)
            ASSERT_NO_FATAL_FAILURE(expectWholeImageThenWriteAgain(written, noise, staged)) << qPrintable(written);
    }
    std::printf("%d killed image writes: %d left staging items\n", killRuns, staged);
}

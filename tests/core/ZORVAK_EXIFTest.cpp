#include "core/image/ZORVAK_EXIF.h"

#include "ImageFileFixtures.h"
#include "core/image/ImageProperties.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

using kova::test::ScratchFolder;
using kova::test::fileUrl;
using kova::test::makeJpeg;
using kova::test::readFile;
using kova::test::withoutExifSegments;
using kova::test::writeFile;

namespace {

QByteArray makePng()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

class EXIFComment : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeFile(photo, original)); }

    ScratchFolder folder;
    const QByteArray original = ImageProperties::rewrite(
        makeJpeg(), {{ImageProperties::tiffDictionaryKey, QVariantMap{{QStringLiteral("Make"), QStringLiteral("Morvanta")}}},
                     {ImageProperties::orientationKey, 6}}).value();
    const QString photo = folder.path(QStringLiteral("IMG_1.jpeg"));
};

} // namespace

TEST_F(EXIFComment, commentIsSetWithoutTouchingPixelsOrOtherMetadata)
{
    EXPECT_FALSE(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(photo)).has_value());

    platform::Error error{platform::Error::CocoaDomain, 1, QStringLiteral("stale")};
    ASSERT_TRUE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("Auftrag 42 für Müller"), fileUrl(photo), &error));
    EXPECT_TRUE(error.isNull());

    const QByteArray rewritten = readFile(photo);
    EXPECT_EQ(withoutExifSegments(rewritten), withoutExifSegments(original));
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(photo)), QStringLiteral("Auftrag 42 für Müller"));
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(rewritten), QStringLiteral("Auftrag 42 für Müller"));
    const QVariantMap properties = ImageProperties::read(rewritten).value();
    EXPECT_EQ(properties.value(ImageProperties::orientationKey).toInt(), 6);
    EXPECT_EQ(properties.value(ImageProperties::tiffDictionaryKey).toMap().value(QStringLiteral("Make")),
              QStringLiteral("Morvanta"));

    // A second comment replaces the first.
    ASSERT_TRUE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("second"), fileUrl(photo)));
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(photo)), QStringLiteral("second"));
}

TEST_F(EXIFComment, filesThatAreNotJpegsAreLeftUntouched)
{
    const QString png = folder.path(QStringLiteral("print.png"));
    const QString jpegNamedPng = folder.path(QStringLiteral("mislabelled.png"));
    const QString text = folder.path(QStringLiteral("notes.jpeg"));
    ASSERT_TRUE(writeFile(png, makePng()));
    ASSERT_TRUE(writeFile(jpegNamedPng, original));
    ASSERT_TRUE(writeFile(text, "just words"));

    platform::Error error;
    EXPECT_FALSE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("c"), fileUrl(png), &error));
    EXPECT_EQ(error.domain, platform::Error::CocoaDomain);
    EXPECT_TRUE(error.message.startsWith(QStringLiteral("Failed to copy image source at ") + fileUrl(png).toString()))
        << error.message.toStdString();
    EXPECT_EQ(readFile(png), makePng());

    EXPECT_FALSE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("c"), fileUrl(text), &error));
    EXPECT_EQ(readFile(text), QByteArray("just words"));
    EXPECT_FALSE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("c"), fileUrl(folder.path(QStringLiteral("missing.jpeg"))), &error));
    EXPECT_FALSE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("c"), fileUrl(folder.path()), &error));
    EXPECT_FALSE(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(text)).has_value());
    EXPECT_FALSE(ZORVAK_EXIF::createCGImageSourceFromObject(fileUrl(folder.path())).has_value());

    // The JPEG check looks at the contents, not at the name.
    EXPECT_TRUE(ZORVAK_EXIF::setEXIFUserComment(QStringLiteral("c"), fileUrl(jpegNamedPng)));
    EXPECT_EQ(ZORVAK_EXIF::getEXIFUserCommentForImage(fileUrl(jpegNamedPng)), QStringLiteral("c"));
}

TEST_F(EXIFComment, oversizeCommentFailsAndKeepsTheFile)
{
    platform::Error error;
    EXPECT_FALSE(ZORVAK_EXIF::setEXIFUserComment(QString(70000, QLatin1Char('x')), fileUrl(photo), &error));
    EXPECT_FALSE(error.isNull());
    EXPECT_EQ(readFile(photo), original);
}

#include "core/image/ImageProperties.h"

#include "ImageFileFixtures.h"

#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>

using kova::test::makeJpeg;
using kova::test::withoutExifSegments;

namespace {

const QString exif = ImageProperties::exifDictionaryKey;
const QString tiff = ImageProperties::tiffDictionaryKey;

QVariantMap withEntry(QVariantMap properties, const QString& dictionary, const QString& key, const QVariant& value)
{
    QVariantMap entries = properties.value(dictionary).toMap();
    entries.insert(key, value);
    properties.insert(dictionary, entries);
    return properties;
}

QVariant entryOf(const QByteArray& image, const QString& dictionary, const QString& key)
{
    return ImageProperties::read(image)->value(dictionary).toMap().value(key);
}

// The image with an XMP packet stating the orientation, as photo editors write it.
QByteArray withXmpOrientation(const QByteArray& jpeg, const char* orientation)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), jpeg.size());
    image->readMetadata();
    image->xmpData()["Xmp.tiff.Orientation"] = orientation;
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf buffer = io.read(static_cast<long>(io.size()));
    return QByteArray(reinterpret_cast<const char*>(buffer.pData_), buffer.size_);
}

std::string xmpOrientationOf(const QByteArray& jpeg)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), jpeg.size());
    image->readMetadata();
    const auto found = image->xmpData().findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
    return found == image->xmpData().end() ? std::string() : found->toString();
}

} // namespace

TEST(ImageProperties, writtenValuesReadBackAndPixelsStay)
{
    const QByteArray jpeg = makeJpeg();
    QVariantMap properties = ImageProperties::read(jpeg).value();
    properties = withEntry(properties, exif, QStringLiteral("UserComment"), QStringLiteral("Bestellung Müller ✓"));
    properties = withEntry(properties, exif, QStringLiteral("DateTimeOriginal"), QStringLiteral("2026:12:08 10:15:30"));
    properties = withEntry(properties, exif, QStringLiteral("MakerNote"), QStringLiteral("KOVA XML"));
    properties = withEntry(properties, exif, QStringLiteral("ExposureTime"), 0.004);
    properties = withEntry(properties, tiff, QStringLiteral("Make"), QStringLiteral("Morvanta"));

    const std::optional<QByteArray> rewritten = ImageProperties::rewrite(jpeg, properties);
    ASSERT_TRUE(rewritten.has_value());
    EXPECT_EQ(withoutExifSegments(*rewritten), jpeg);
    EXPECT_EQ(entryOf(*rewritten, exif, QStringLiteral("UserComment")).toString(), QStringLiteral("Bestellung Müller ✓"));
    EXPECT_EQ(entryOf(*rewritten, exif, QStringLiteral("DateTimeOriginal")).toString(), QStringLiteral("2026:12:08 10:15:30"));
    EXPECT_EQ(entryOf(*rewritten, exif, QStringLiteral("MakerNote")).toByteArray(), QByteArray("KOVA XML"));
    EXPECT_DOUBLE_EQ(entryOf(*rewritten, exif, QStringLiteral("ExposureTime")).toDouble(), 0.004);
    EXPECT_EQ(entryOf(*rewritten, tiff, QStringLiteral("Make")).toString(), QStringLiteral("Morvanta"));
}

TEST(ImageProperties, leftOutKeysStayAndNullRemoves)
{
    const QByteArray jpeg = makeJpeg();
    const QByteArray commented = ImageProperties::rewrite(
        jpeg, withEntry({}, exif, QStringLiteral("UserComment"), QStringLiteral("order 17"))).value();

    // Only the orientation: the comment is kept.
    const QByteArray turned = ImageProperties::rewrite(commented, {{ImageProperties::orientationKey, 6}}).value();
    const QVariantMap turnedProperties = ImageProperties::read(turned).value();
    EXPECT_EQ(turnedProperties.value(ImageProperties::orientationKey).toInt(), 6);
    EXPECT_EQ(turnedProperties.value(tiff).toMap().value(QStringLiteral("Orientation")).toInt(), 6);
    EXPECT_EQ(entryOf(turned, exif, QStringLiteral("UserComment")).toString(), QStringLiteral("order 17"));

    // Handing the dictionary back unchanged changes nothing that counts.
    const QByteArray same = ImageProperties::rewrite(turned, turnedProperties).value();
    EXPECT_EQ(ImageProperties::read(same).value(), turnedProperties);

    const QByteArray uncommented
        = ImageProperties::rewrite(turned, withEntry({}, exif, QStringLiteral("UserComment"), QVariant())).value();
    EXPECT_FALSE(entryOf(uncommented, exif, QStringLiteral("UserComment")).isValid());
    EXPECT_EQ(ImageProperties::read(uncommented)->value(ImageProperties::orientationKey).toInt(), 6);
}

TEST(ImageProperties, orientationInXmpFollowsTheExifOne)
{
    const QByteArray tagged = withXmpOrientation(makeJpeg(), "1");
    ASSERT_EQ(xmpOrientationOf(tagged), "1");
    const QByteArray turned = ImageProperties::rewrite(tagged, {{ImageProperties::orientationKey, 8}}).value();
    EXPECT_EQ(xmpOrientationOf(turned), "8");
    EXPECT_EQ(ImageProperties::read(turned)->value(ImageProperties::orientationKey).toInt(), 8);
}

TEST(ImageProperties, unfitValuesAndBrokenFilesFailWithAReason)
{
    const QByteArray jpeg = makeJpeg();
    const struct {
        const char* what;
        QVariantMap properties;
    } unfit[] = {
        {"text as orientation", {{ImageProperties::orientationKey, QStringLiteral("upright")}}},
        {"unknown tag", withEntry({}, exif, QStringLiteral("NoSuchTag"), 1)},
        {"directory pointer", withEntry({}, tiff, QStringLiteral("ExifTag"), 12)},
        {"list as comment", withEntry({}, exif, QStringLiteral("UserComment"), QVariantList{1, 2})},
        {"comment too large for the segment",
         withEntry({}, exif, QStringLiteral("UserComment"), QString(70000, QLatin1Char('x')))},
    };
    for (const auto& item : unfit) {
        platform::Error error;
        EXPECT_FALSE(ImageProperties::rewrite(jpeg, item.properties, &error).has_value()) << item.what;
        EXPECT_FALSE(error.message.isEmpty()) << item.what;
    }

    for (const QByteArray& broken : {QByteArray(), QByteArray("\xFF\xD8\xFF\xE1\xFF\xFF" "Exif"), jpeg.left(20)}) {
        platform::Error error;
        const std::optional<QVariantMap> properties = ImageProperties::read(broken, &error);
        if (!properties) {
            EXPECT_FALSE(error.message.isEmpty());
        }
        EXPECT_FALSE(ImageProperties::rewrite(broken, {{ImageProperties::orientationKey, 6}}).has_value());
    }
}

#include "platform/files/UTType.h"

#include "FileFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::UTType;
using kova::test::ScratchFolder;
using kova::test::writeFile;

namespace {

const QByteArray jpegStart("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
const QByteArray xmlTicket("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<data type=\"order\" version=\"1\"/>\n");

struct Conformance {
    const char* type;
    const char* parent;
    bool conforms;
};

} // namespace

TEST(UTType, ConformanceFollowsEveryParentTransitively)
{
    const Conformance cases[] = {
        {"public.jpeg", "public.jpeg", true},
        {"public.jpeg", "public.image", true},
        {"public.jpeg", "public.item", true},
        {"public.jpeg", "public.png", false},
        {"public.image", "public.jpeg", false},
        {"public.folder", "public.item", true},
        {"public.folder", "public.data", false},
        {"com.morvanta.kova.job", "public.directory", true},
        {"com.morvanta.kova.job", "public.item", true},
        {"com.morvanta.kova.job", "public.folder", false},
        {"public.xml", "public.data", true},
        {"com.apple.property-list", "public.xml", false},
        {"com.apple.xml-property-list", "public.xml", true},
        {"com.apple.xml-property-list", "com.apple.property-list", true},
        {"com.adobe.pdf", "public.content", true},
        {"com.adobe.pdf", "public.image", false},
        {"public.camera-raw-image", "public.data", true},
        {"public.symlink", "public.data", false},
        {"PUBLIC.JPEG", "Public.Image", true},
        {"org.example.unknown", "org.example.unknown", true},
        {"org.example.unknown", "public.item", false},
        {"", "public.item", false},
    };
    for (const Conformance& each : cases) {
        EXPECT_EQ(UTType::conformsTo(QString::fromLatin1(each.type), QString::fromLatin1(each.parent)), each.conforms)
            << each.type << " -> " << each.parent;
    }
}

TEST(UTType, ExtensionsMapToTypesAndBack)
{
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("JPG")), platform::kUTTypeJPEG);
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("jpe")), platform::kUTTypeJPEG);
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("Tif")), platform::kUTTypeTIFF);
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("NEF")), platform::kUTTypeRawImage);
    // Extensions only the MIME database knows, for types of the table.
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("dib")), platform::kUTTypeBMP);
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("XSD")), platform::kUTTypeXML);
    EXPECT_EQ(UTType::typeForExtension(QString()), platform::kUTTypeData);

    for (const QString& type : {platform::kUTTypeJPEG, platform::kUTTypeTIFF, platform::kUTTypePDF, platform::kUTTypeXML,
                                platform::kUTTypePropertyList, UTType::jobBundle}) {
        EXPECT_EQ(UTType::typeForExtension(UTType::preferredExtension(type)), type);
    }
    EXPECT_EQ(UTType::preferredExtension(QStringLiteral("Public.JPEG")), QStringLiteral("jpeg"));
    for (const QString& type : {platform::kUTTypeFolder, platform::kUTTypeRawImage, QStringLiteral("org.example.unknown"), QString()})
        EXPECT_EQ(UTType::preferredExtension(type), QString());

    EXPECT_EQ(UTType::mimeType(platform::kUTTypeJPEG), QStringLiteral("image/jpeg"));
    EXPECT_EQ(UTType::mimeType(platform::kUTTypeFolder), QStringLiteral("inode/directory"));
    EXPECT_EQ(UTType::mimeType(platform::kUTTypeItem), QString());
}

TEST(UTType, MimeTypesMapToTypes)
{
    EXPECT_EQ(UTType::typeForMIMEType(QStringLiteral("text/plain;charset=utf-8")), platform::kUTTypePlainText);
    EXPECT_EQ(UTType::typeForMIMEType(QStringLiteral("text/html")), platform::kUTTypeHTML);
    // An alias of a table type, and a format only the MIME database knows.
    EXPECT_EQ(UTType::typeForMIMEType(QStringLiteral("text/rtf")), platform::kUTTypeRTF);
    EXPECT_EQ(UTType::typeForMIMEType(QStringLiteral("image/x-bmp")), platform::kUTTypeBMP);
    const QString webp = UTType::typeForMIMEType(QStringLiteral("image/webp"));
    EXPECT_EQ(UTType::preferredExtension(webp), QStringLiteral("webp"));
    EXPECT_TRUE(UTType::conformsTo(webp, platform::kUTTypeImage));
    for (const QString& unknown : {QStringLiteral("application/x-kova-unknown"), QStringLiteral("UTF8_STRING"), QString()})
        EXPECT_EQ(UTType::typeForMIMEType(unknown), QString()) << qPrintable(unknown);
}

TEST(UTType, UnclaimedExtensionsGetStableDynamicTypes)
{
    const QString type = UTType::typeForExtension(QStringLiteral("zq9x"));
    EXPECT_TRUE(type.startsWith(QStringLiteral("dyn."))) << qPrintable(type);
    EXPECT_EQ(UTType::typeForExtension(QStringLiteral("ZQ9X")), type);
    EXPECT_NE(UTType::typeForExtension(QStringLiteral("zq9y")), type);
    EXPECT_TRUE(UTType::conformsTo(type, platform::kUTTypeData));
    EXPECT_FALSE(UTType::conformsTo(type, platform::kUTTypeImage));
    EXPECT_FALSE(UTType::conformsTo(type, platform::kUTTypeXML));
    EXPECT_EQ(UTType::mimeType(type), QString());

    // The MIME database says what kind an unlisted format is.
    const QString webp = UTType::typeForExtension(QStringLiteral("webp"));
    EXPECT_TRUE(webp.startsWith(QStringLiteral("dyn.")));
    EXPECT_TRUE(UTType::conformsTo(webp, platform::kUTTypeImage));
    EXPECT_EQ(UTType::mimeType(webp), QStringLiteral("image/webp"));
    EXPECT_TRUE(UTType::conformsTo(UTType::typeForExtension(QStringLiteral("xsl")), platform::kUTTypeXML));

    // Any characters survive the round trip; a malformed identifier stands for nothing.
    for (const QString& extension : {QStringLiteral("zq9x"), QStringLiteral("x_y z"), QStringLiteral("größe"),
                                     QStringLiteral("dyn.ext.jpeg"), QStringLiteral("-2f")}) {
        EXPECT_EQ(UTType::preferredExtension(UTType::typeForExtension(extension)), extension);
    }
    for (const QString& broken : {QStringLiteral("dyn.ext."), QStringLiteral("dyn.ext.a-4"), QStringLiteral("dyn.ext.a-zz")}) {
        EXPECT_FALSE(UTType::conformsTo(broken, platform::kUTTypeItem)) << qPrintable(broken);
        EXPECT_EQ(UTType::preferredExtension(broken), QString()) << qPrintable(broken);
    }
}

class UTTypeOfItem : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return m_folder.path(relative); }
    QString type(const QString& relative) const { return UTType::typeOfItemAtPath(path(relative)); }
    QString make(const QString& relative, const QByteArray& data = "x") const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        EXPECT_TRUE(writeFile(path(relative), data));
        return relative;
    }
    QString makeFolder(const QString& relative) const
    {
        QDir().mkpath(path(relative));
        return relative;
    }

    ScratchFolder m_folder;
};

TEST_F(UTTypeOfItem, FoldersAreFoldersAndJobBundlesArePackages)
{
    EXPECT_EQ(type(QStringLiteral("missing")), QString());
    EXPECT_EQ(type(QStringLiteral("missing/inside.xml")), QString());

    EXPECT_EQ(type(makeFolder(QStringLiteral("Photos.jpeg")) + QLatin1Char('/')), platform::kUTTypeFolder);
    EXPECT_EQ(type(makeFolder(QStringLiteral("Order 17.KovaJob"))), UTType::jobBundle);
    make(QStringLiteral("Order 18/JOB.XML"), xmlTicket);
    EXPECT_EQ(type(QStringLiteral("Order 18")), UTType::jobBundle);
    // A folder that merely is called job.xml does not make a bundle.
    makeFolder(QStringLiteral("Order 19/job.xml"));
    EXPECT_EQ(type(QStringLiteral("Order 19")), platform::kUTTypeFolder);
}

TEST_F(UTTypeOfItem, FilesAreTypedByExtensionOrElseByContents)
{
    EXPECT_EQ(type(make(QStringLiteral("IMG_1.JPG"), jpegStart)), platform::kUTTypeJPEG);
    EXPECT_EQ(type(make(QStringLiteral("really.png"), xmlTicket)), platform::kUTTypePNG);
    const QString unknown = type(make(QStringLiteral("ticket.zq9x"), xmlTicket));
    EXPECT_EQ(unknown, UTType::typeForExtension(QStringLiteral("zq9x")));
    // A file named like a bundle is data, never a directory.
    EXPECT_TRUE(UTType::conformsTo(type(make(QStringLiteral("fake.kovajob"))), platform::kUTTypeData));
    EXPECT_FALSE(UTType::conformsTo(type(QStringLiteral("fake.kovajob")), platform::kUTTypeDirectory));

    EXPECT_EQ(type(make(QStringLiteral("IMG_2"), jpegStart)), platform::kUTTypeJPEG);
    EXPECT_EQ(type(make(QStringLiteral("ticket"), xmlTicket)), platform::kUTTypeXML);
    EXPECT_EQ(type(make(QStringLiteral(".jpeg"), "plain words\n")), platform::kUTTypePlainText); // hidden, no extension
    EXPECT_EQ(type(make(QStringLiteral("empty"), QByteArray())), platform::kUTTypeData);
    EXPECT_EQ(type(make(QStringLiteral("noise"), QByteArray("\x00\x01\xfe\xff\x00", 5))), platform::kUTTypeData);
}

TEST_F(UTTypeOfItem, LinksAreFollowedAndOtherItemsAreNeverOpened)
{
    ASSERT_TRUE(QFile::link(path(make(QStringLiteral("photo.jpeg"), jpegStart)), path(QStringLiteral("link-to-photo"))));
    ASSERT_TRUE(QFile::link(path(makeFolder(QStringLiteral("folder"))), path(QStringLiteral("link-to-folder.jpeg"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling.xml"))));
    EXPECT_EQ(type(QStringLiteral("link-to-photo")), platform::kUTTypeJPEG);
    EXPECT_EQ(type(QStringLiteral("link-to-folder.jpeg")), platform::kUTTypeFolder);
    // A dangling link is still an item: a name that is taken.
    EXPECT_EQ(type(QStringLiteral("dangling.xml")), platform::kUTTypeSymLink);

    // Opening a pipe with no writer would block; asking its type must not.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe"))).constData(), 0600), 0);
    EXPECT_EQ(type(QStringLiteral("pipe")), platform::kUTTypeItem);
}

#include "template/KOVA_XML_object.h"

#include "FileFixtures.h"
#include "HostileFiles.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/xml/XmlNode.h"

#include <QImage>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using kova::test::ScratchFolder;
using kova::test::writeFile;

namespace {

QString rootText(const std::shared_ptr<KOVA_XML_object>& document)
{
    const auto parsed = document ? document->xmlDoc() : nullptr;
    return parsed ? parsed->rootElement().stringValue() : QString();
}

} // namespace

TEST(KOVA_XML_object, FactoriesTakePathsUrlsTextAndData)
{
    ScratchFolder folder;
    const QString path = folder.path(QStringLiteral("t.xml"));
    ASSERT_TRUE(writeFile(path, "<data><layout>from file</layout></data>"));

    EXPECT_EQ(rootText(KOVA_XML_object::instanceWithXMLObject(path)), QStringLiteral("from file"));
    EXPECT_EQ(KOVA_XML_object::instanceWithXMLObject(path)->documentURL(), QUrl::fromLocalFile(path));
    EXPECT_EQ(rootText(KOVA_XML_object::instanceWithXMLObject(QUrl::fromLocalFile(path))), QStringLiteral("from file"));
    EXPECT_EQ(rootText(KOVA_XML_object::initWithObject(QStringLiteral("<a>text</a>"))), QStringLiteral("text"));
    EXPECT_EQ(rootText(KOVA_XML_object::initWithObject(QByteArray("<a>data</a>"))), QStringLiteral("data"));

    EXPECT_EQ(KOVA_XML_object::instanceWithXMLObject(QVariant()), nullptr);
    EXPECT_EQ(KOVA_XML_object::instanceWithXMLObject(folder.path(QStringLiteral("missing.xml"))), nullptr);
    EXPECT_EQ(KOVA_XML_object::instanceWithXMLObject(folder.path()), nullptr); // a folder is no document
    EXPECT_EQ(KOVA_XML_object::initWithObject(QVariant(42)), nullptr);
    EXPECT_EQ(KOVA_XML_object::initWithObject(QByteArray("\xff\xfe<a/>", 6)), nullptr); // not UTF-8
}

TEST(KOVA_XML_object, SpecialAndOversizedFilesAreRefusedNamingThePath)
{
    ScratchFolder folder;
    kova::test::expectSpecialFilesRefused(
        {"the document reader", KOVA_XML_object::MaximumFileSize, [&](const QString& kind) { return folder.path(kind + QStringLiteral(".xml")); },
         [](const QString& path) { return kova::test::loggedBy([&] { KOVA_XML_object::instanceWithXMLObject(path); }); }});
}

TEST(KOVA_XML_object, FilesAreDecodedWithoutLosingCharacters)
{
    ScratchFolder folder;
    const QString latin1 = folder.path(QStringLiteral("latin1.xml"));
    ASSERT_TRUE(writeFile(latin1, QByteArray("<data>Caf\xe9 & cr\xe8me</data>")));
    const QString declared = folder.path(QStringLiteral("declared.xml"));
    ASSERT_TRUE(writeFile(declared, QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><data>\xc5land</data>")));
    const QString utf16 = folder.path(QStringLiteral("utf16.xml"));
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    ASSERT_TRUE(writeFile(utf16, toUtf16.encode(QStringLiteral("<data>\u65e5\u672c</data>"))));

    // Latin-1 bytes and a stray "&" survive the repairing parse.
    EXPECT_EQ(rootText(KOVA_XML_object::instanceWithXMLObject(latin1)), QStringLiteral("Caf\u00e9 & cr\u00e8me"));
    EXPECT_EQ(rootText(KOVA_XML_object::instanceWithXMLObject(declared)), QStringLiteral("\u00c5land"));
    EXPECT_EQ(rootText(KOVA_XML_object::instanceWithXMLObject(utf16)), QStringLiteral("\u65e5\u672c"));
}

TEST(KOVA_XML_object, MalformedXmlIsRepairedAndUnparsableTextGivesNoDocument)
{
    const auto repaired = KOVA_XML_object::initWithObject(QStringLiteral("<data><layout><layer></layout>"));
    ASSERT_NE(repaired->xmlDoc(), nullptr);
    EXPECT_EQ(repaired->xmlDoc()->rootElement().name(), QStringLiteral("data"));

    const auto garbage = KOVA_XML_object::initWithObject(QStringLiteral("not xml at all"));
    ASSERT_NE(garbage, nullptr);
    EXPECT_EQ(garbage->xmlDoc(), nullptr);
}

TEST(KOVA_XML_object, TheTextIsParsedOnceWhicheverThreadAsksFirst)
{
    const auto document = KOVA_XML_object::initWithObject(QStringLiteral("<data><layout/></data>"));
    std::vector<std::shared_ptr<platform::XmlDocument>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&document, &slot] { slot = document->xmlDoc(); });
    for (auto& thread : threads)
        thread.join();
    for (const auto& parsed : seen) {
        ASSERT_NE(parsed, nullptr);
        EXPECT_EQ(parsed, seen.front());
    }
}

TEST(KOVA_XML_object, ArchivingLeavesInMemoryValuesInTheDocument)
{
    KOVA_XML_object document;
    document.setValue(QStringLiteral("name"), QStringLiteral("card"));
    document.setValue(QStringLiteral("image"), QVariant::fromValue(QImage(4, 4, QImage::Format_RGBA8888)));

    platform::Error error;
    const QByteArray archive = platform::KeyedArchiver::archivedDataWithRootObject(document, &error);
    EXPECT_FALSE(archive.isEmpty()) << error.description().toStdString();
    EXPECT_TRUE(document.hasValue(QStringLiteral("image")));
    EXPECT_FALSE(archive.contains("image"));
    EXPECT_TRUE(archive.contains("card"));
}

TEST(KOVA_XML_object, BooleansAreWrittenAsYesAndNo)
{
    EXPECT_EQ(stringForBOOL(true), QStringLiteral("yes"));
    EXPECT_EQ(stringForBOOL(false), QStringLiteral("no"));
}

TEST(KOVA_XML_object, LastPathComponentFollowsTheDocumentUrl)
{
    KOVA_XML_object document;
    EXPECT_TRUE(document.lastPathComponent().isEmpty());
    document.setDocumentURL(QUrl::fromLocalFile(QStringLiteral("/tmp/templates/frame.xml")));
    EXPECT_EQ(document.lastPathComponent(), QStringLiteral("frame.xml"));
    EXPECT_EQ(document.valueForKey(QStringLiteral("lastPathComponent")).toString(), QStringLiteral("frame.xml"));
}

#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/plist/PropertyList.h"

#include "FoundationArchive.h"
#include "PythonReader.h"
#include "TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPoint>
#include <QRandomGenerator>
#include <QRectF>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

using kova::test::FoundationArchive;
using platform::Archivable;
using platform::Error;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;
using platform::PlistUID;
using platform::PropertyList;

namespace {

const QString FolderClass = QStringLiteral("KOVA_TestFolder");
const QStringList SecureFolderClasses{QStringLiteral("NSDictionary"), QStringLiteral("NSArray"), FolderClass,
                                      QStringLiteral("NSURL")};

// A folder set as the model keeps it: options, name, folder and bookmark, plus the kinds of
// keys other models write.
class TestFolder : public Archivable {
public:
    TestFolder() = default;
    explicit TestFolder(KeyedUnarchiver& coder)
        : properties(coder.decodeObjectOfClasses(QStringLiteral("self.properties"), {QStringLiteral("NSMutableDictionary")}).toMap())
        , name(coder.decodeObjectOfClasses(QStringLiteral("self.name"), {QStringLiteral("NSString")}).toString())
        , url(coder.decodeObjectOfClasses(QStringLiteral("self.URL"), {QStringLiteral("NSURL")}).toUrl())
        , bookmark(coder.decodeObjectOfClasses(QStringLiteral("self.bookmark"), {QStringLiteral("NSData")}).toByteArray())
        , copies(coder.decodeInteger(QStringLiteral("self.copies")))
        , enabled(coder.decodeBool(QStringLiteral("self.enabled")))
        , ratio(coder.decodeDouble(QStringLiteral("self.ratio")))
        , children(coder.decodeArchivables<TestFolder>(QStringLiteral("self.children"), {FolderClass}))
        , sibling(coder.decodeArchivable<TestFolder>(QStringLiteral("self.sibling"), {FolderClass}))
    {
    }

    QStringList archiveClassHierarchy() const override { return {FolderClass, QStringLiteral("NSObject")}; }

    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(properties, QStringLiteral("self.properties"), KeyedArchiver::Mutability::Mutable);
        coder.encodeObject(name, QStringLiteral("self.name"));
        coder.encodeObject(url, QStringLiteral("self.URL"));
        if (!bookmark.isNull())
            coder.encodeObject(bookmark, QStringLiteral("self.bookmark"));
        coder.encodeInteger(copies, QStringLiteral("self.copies"));
        coder.encodeBool(enabled, QStringLiteral("self.enabled"));
        coder.encodeDouble(ratio, QStringLiteral("self.ratio"));
        if (!children.isEmpty())
            coder.encodeArchivables(children, QStringLiteral("self.children"), KeyedArchiver::Mutability::Mutable);
        coder.encodeConditionalArchivable(sibling.get(), QStringLiteral("self.sibling"));
    }

    QVariantMap properties;
    QString name;
    QUrl url;
    QByteArray bookmark;
    qint64 copies = 0;
    bool enabled = false;
    double ratio = 0;
    QList<std::shared_ptr<TestFolder>> children;
    std::shared_ptr<TestFolder> sibling;
};

// A subclass, allowed wherever its superclass is.
class TestJobFolder : public TestFolder {
public:
    using TestFolder::TestFolder;
    QStringList archiveClassHierarchy() const override
    {
        return {QStringLiteral("KOVA_TestJobFolder"), FolderClass, QStringLiteral("NSObject")};
    }
};

// An object whose writing fails halfway.
class FailingObject : public Archivable {
public:
    QStringList archiveClassHierarchy() const override { return {QStringLiteral("KOVA_TestFailing"), QStringLiteral("NSObject")}; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeInteger(1, QStringLiteral("self.before"));
        coder.failWithError(Error{Error::CocoaDomain, 1, QStringLiteral("cannot write")});
        coder.encodeInteger(2, QStringLiteral("self.after"));
    }
};

std::shared_ptr<TestFolder> makeFolder(const QString& name)
{
    auto folder = std::make_shared<TestFolder>();
    folder->name = name;
    folder->url = QUrl::fromLocalFile(QStringLiteral("/var/lib/Morvanta/KOVA/%1/").arg(name));
    folder->properties = {{QStringLiteral("overwrite"), true}, {QStringLiteral("copies"), qint64(2)}};
    folder->copies = 3;
    folder->enabled = true;
    folder->ratio = 1.5;
    return folder;
}

class KeyedArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        KeyedUnarchiver::registerClass({FolderClass, QStringLiteral("NSObject")},
                                       [](KeyedUnarchiver& coder) { return std::make_shared<TestFolder>(coder); });
        KeyedUnarchiver::registerClass(TestJobFolder().archiveClassHierarchy(),
                                       [](KeyedUnarchiver& coder) { return std::make_shared<TestJobFolder>(coder); });
        KeyedUnarchiver::registerClass({QStringLiteral("KOVA_TestRefusing"), QStringLiteral("NSObject")},
                                       [](KeyedUnarchiver&) { return nullptr; });
    }

    static QList<std::shared_ptr<TestFolder>> decodeFolders(const QByteArray& data, Error* error = nullptr)
    {
        QList<std::shared_ptr<TestFolder>> folders;
        for (const QVariant& item : KeyedUnarchiver::unarchivedObjectOfClasses(data, SecureFolderClasses, error).toList())
            folders.append(Archivable::fromVariant<TestFolder>(item));
        return folders;
    }
};

// The archive as an independent reader (Python's plistlib) sees it.
QJsonObject readWithPython(const QByteArray& archive)
{
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
import json
root = archive['$top']['root']
print(json.dumps({
    'archiver': archive['$archiver'],
    'version': archive['$version'],
    'first': objects[0],
    'rootIsUID': isinstance(root, plistlib.UID),
    'rootClass': follow(follow(root)['$class'])['$classname'],
    'classEntries': sorted(o['$classname'] + ':' + ','.join(o['$classes']) for o in objects if isinstance(o, dict) and '$classname' in o),
    'names': [follow(follow(item)['self.name']) for item in follow(root)['NS.objects']],
    'urls': [follow(follow(follow(item)['self.URL'])['NS.relative']) for item in follow(root)['NS.objects']],
}))
)");
    return QJsonDocument::fromJson(kova::test::runPython(script, archive)).object();
}

// Expects the archive refused; `reason`, when given, is part of the message.
void expectRefused(const QByteArray& archive, const QStringList& classes, const char* what, const char* reason = "")
{
    Error error;
    EXPECT_FALSE(KeyedUnarchiver::unarchivedObjectOfClasses(archive, classes, &error).isValid()) << what;
    EXPECT_EQ(error.domain, Error::CocoaDomain) << what;
    EXPECT_EQ(error.code, 4864) << what << ": " << error.message.toStdString();
    EXPECT_TRUE(error.message.contains(QLatin1String(reason))) << what << ": " << error.message.toStdString();
}

// An archive in XML with the given objects (after $null) and root reference.
QByteArray xmlArchive(const QByteArray& objects, const QByteArray& top = "<dict><key>root</key><dict><key>CF$UID</key><integer>1</integer></dict></dict>")
{
    return "<plist version=\"1.0\"><dict>"
           "<key>$archiver</key><string>NSKeyedArchiver</string>"
           "<key>$version</key><integer>100000</integer>"
           "<key>$top</key>" + top + "<key>$objects</key><array><string>$null</string>" + objects + "</array></dict></plist>";
}

QByteArray uid(int value)
{
    return "<dict><key>CF$UID</key><integer>" + QByteArray::number(value) + "</integer></dict>";
}

QByteArray classEntry(const QByteArray& name)
{
    return "<dict><key>$classname</key><string>" + name + "</string><key>$classes</key><array><string>" + name
           + "</string><string>NSObject</string></array></dict>";
}

// An NSArray object holding the given references, its class entry at `classIndex`.
QByteArray arrayObject(const QList<int>& references, int classIndex)
{
    QByteArray items;
    for (int reference : references)
        items += uid(reference);
    return "<dict><key>NS.objects</key><array>" + items + "</array><key>$class</key>" + uid(classIndex) + "</dict>";
}

} // namespace

TEST_F(KeyedArchive, WritesThePlatformFormThatOtherReadersUnderstand)
{
    const auto hot = makeFolder(QStringLiteral("Hot Folder"));
    hot->bookmark = QByteArray("book\0mark", 9);
    const auto print = makeFolder(QStringLiteral("Print Ünïcode"));
    Error error;
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(QList{hot, print}, &error);
    ASSERT_FALSE(archive.isEmpty()) << error.message.toStdString();
    ASSERT_TRUE(archive.startsWith("bplist00"));

    const QJsonObject seen = readWithPython(archive);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.value(QStringLiteral("archiver")).toString(), QStringLiteral("NSKeyedArchiver"));
    EXPECT_EQ(seen.value(QStringLiteral("version")).toInt(), 100000);
    EXPECT_EQ(seen.value(QStringLiteral("first")).toString(), QStringLiteral("$null"));
    EXPECT_TRUE(seen.value(QStringLiteral("rootIsUID")).toBool());
    EXPECT_EQ(seen.value(QStringLiteral("rootClass")).toString(), QStringLiteral("NSArray"));
    EXPECT_EQ(seen.value(QStringLiteral("classEntries")).toVariant().toStringList(),
              (QStringList{QStringLiteral("KOVA_TestFolder:KOVA_TestFolder,NSObject"), QStringLiteral("NSArray:NSArray,NSObject"),
                           QStringLiteral("NSMutableDictionary:NSMutableDictionary,NSDictionary,NSObject"),
                           QStringLiteral("NSURL:NSURL,NSObject")}));
    EXPECT_EQ(seen.value(QStringLiteral("names")).toVariant().toStringList(), (QStringList{hot->name, print->name}));
    EXPECT_EQ(seen.value(QStringLiteral("urls")).toVariant().toStringList(),
              (QStringList{QStringLiteral("file:///var/lib/Morvanta/KOVA/Hot%20Folder/"),
                           QStringLiteral("file:///var/lib/Morvanta/KOVA/Print%20%C3%9Cn%C3%AFcode/")}));

    const QList<std::shared_ptr<TestFolder>> folders = decodeFolders(archive, &error);
    ASSERT_EQ(folders.size(), 2) << error.message.toStdString();
    for (int i = 0; i < 2; ++i) {
        const TestFolder& expected = *(i ? print : hot);
        ASSERT_TRUE(folders[i]);
        EXPECT_EQ(folders[i]->name, expected.name);
        EXPECT_EQ(folders[i]->url, expected.url);
        EXPECT_EQ(folders[i]->properties, expected.properties);
        EXPECT_EQ(folders[i]->bookmark, expected.bookmark);
        EXPECT_EQ(folders[i]->copies, 3);
        EXPECT_TRUE(folders[i]->enabled);
        EXPECT_EQ(folders[i]->ratio, 1.5);
    }
}

TEST_F(KeyedArchive, RoundTripsEveryValueKind)
{
    const QVariantMap values{
        {QStringLiteral("text"), QStringLiteral("Größe & <more>")},
        {QStringLiteral("integer"), qint64(-42)},
        {QStringLiteral("unsigned"), std::numeric_limits<quint64>::max()},
        {QStringLiteral("real"), 0.1},
        {QStringLiteral("flag"), true},
        {QStringLiteral("data"), QByteArray("\x00\xff", 2)},
        {QStringLiteral("date"), QDateTime(QDate(2024, 3, 1), QTime(12, 30, 45, 678), Qt::UTC)},
        {QStringLiteral("old date"), QDateTime(QDate(1850, 7, 4), QTime(1, 2, 3), Qt::UTC)},
        {QStringLiteral("url"), QUrl::fromLocalFile(QStringLiteral("/tmp/Ordner mit Ümlaut/bild.jpg"))},
        {QStringLiteral("frame"), QRectF(0.1, -20, 1200.5, 1800)},
        {QStringLiteral("error"), QVariant::fromValue(Error{Error::POSIXDomain, 2, QStringLiteral("No such file")})},
        {QStringLiteral("error without message"), QVariant::fromValue(Error{Error::CocoaDomain, 3, QString()})},
        {QStringLiteral("placeholders"), QVariantList{QVariant::fromValue(nullptr), QVariantMap{{QStringLiteral("none"), QVariant::fromValue(nullptr)}}}},
        {QStringLiteral("list"), QVariantList{QStringLiteral("a"), qint64(1), QVariantList{}, QVariantMap{}}},
        {QStringLiteral("$dollar key"), QStringLiteral("kept apart from the archive's own keys")},
    };
    const QStringList classes{QStringLiteral("NSDictionary"), QStringLiteral("NSArray"), QStringLiteral("NSURL"),
                              QStringLiteral("NSValue"), QStringLiteral("NSError")};
    for (const auto mutability : {KeyedArchiver::Mutability::Immutable, KeyedArchiver::Mutability::Mutable}) {
        Error error;
        const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(values, &error, mutability);
        const QVariantMap read = KeyedUnarchiver::unarchivedObjectOfClasses(archive, classes, &error).toMap();
        ASSERT_TRUE(error.isNull()) << error.message.toStdString();
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            if (it.key().startsWith(QStringLiteral("error"))) {
                const Error decoded = read.value(it.key()).value<Error>();
                EXPECT_EQ(decoded.description(), it.value().value<Error>().description());
            } else {
                EXPECT_EQ(read.value(it.key()), it.value()) << it.key().toStdString();
            }
        }
        EXPECT_EQ(read.size(), values.size());
    }
}

TEST_F(KeyedArchive, KeepsObjectIdentityAndResolvesConditionalReferences)
{
    const auto child = makeFolder(QStringLiteral("Child"));
    const auto parent = makeFolder(QStringLiteral("Parent"));
    parent->children = {child, child};
    parent->sibling = makeFolder(QStringLiteral("Lonely")); // never written unconditionally: becomes $null
    const auto early = makeFolder(QStringLiteral("Early"));
    const auto late = makeFolder(QStringLiteral("Late"));
    early->sibling = late; // written later in the archive: refers to it
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(QList{early, parent, late});

    const QVariantMap plist = PropertyList::fromData(archive).toMap();
    const QVariantList objects = plist.value(QStringLiteral("$objects")).toList();
    const auto object = [&](const QVariant& reference) { return objects.value(qsizetype(reference.value<PlistUID>().value)).toMap(); };
    const QVariantList roots = object(plist.value(QStringLiteral("$top")).toMap().value(QStringLiteral("root"))).value(QStringLiteral("NS.objects")).toList();
    ASSERT_EQ(roots.size(), 3);
    EXPECT_EQ(object(roots[0]).value(QStringLiteral("self.sibling")), roots[2]);
    EXPECT_EQ(object(roots[1]).value(QStringLiteral("self.sibling")), QVariant::fromValue(PlistUID{0}));
    const auto isFolder = [](const QVariant& o) { return o.toMap().contains(QStringLiteral("self.name")); };
    EXPECT_EQ(std::count_if(objects.cbegin(), objects.cend(), isFolder), 4) << "the child is written once";

    const QList<std::shared_ptr<TestFolder>> folders = decodeFolders(archive);
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders[0]->sibling, folders[2]);
    EXPECT_EQ(folders[1]->sibling, nullptr);
    ASSERT_EQ(folders[1]->children.size(), 2);
    EXPECT_EQ(folders[1]->children[0]->name, QStringLiteral("Child"));
    EXPECT_EQ(folders[1]->children[0], folders[1]->children[1]);

    // A reference back to an object whose decoding has not finished is a cycle.
    child->sibling = parent;
    expectRefused(KeyedArchiver::archivedDataWithRootObject(QList{parent}), SecureFolderClasses, "object graph with a cycle", "cycle");
    child->sibling.reset();
}

TEST_F(KeyedArchive, ReadsAnArchiveInThePlatformFormWrittenElsewhere)
{
    const QByteArrayList objects{
        /* 1 */ "<dict><key>NS.keys</key><array>" + uid(2) + uid(3) + uid(4) + uid(5) + uid(6) + uid(7) + "</array>"
                "<key>NS.objects</key><array>" + uid(8) + uid(9) + uid(10) + uid(13) + uid(16) + uid(17) + "</array>"
                "<key>$class</key>" + uid(19) + "</dict>",
        /* 2 */ "<string>name</string>",
        /* 3 */ "<string>count</string>",
        /* 4 */ "<string>when</string>",
        /* 5 */ "<string>where</string>",
        /* 6 */ "<string>tags</string>",
        /* 7 */ "<string>note</string>",
        /* 8 */ "<string>Lab</string>",
        /* 9 */ "<integer>12</integer>",
        /* 10 */ "<dict><key>NS.time</key><real>730000000.5</real><key>$class</key>" + uid(11) + "</dict>",
        /* 11 */ classEntry("NSDate"),
        /* 12 */ classEntry("NSURL"),
        /* 13 */ "<dict><key>NS.base</key>" + uid(14) + "<key>NS.relative</key>" + uid(15) + "<key>$class</key>" + uid(12) + "</dict>",
        /* 14 */ "<dict><key>NS.base</key>" + uid(0) + "<key>NS.relative</key>" + uid(18) + "<key>$class</key>" + uid(12) + "</dict>",
        /* 15 */ "<string>Orders/1.jpg</string>",
        /* 16 */ arrayObject({6, 7}, 20),
        /* 17 */ "<dict><key>NS.string</key><string>mutable text</string><key>$class</key>" + uid(21) + "</dict>",
        /* 18 */ "<string>file:///Volumes/Lab/</string>",
        /* 19 */ classEntry("NSMutableDictionary"),
        /* 20 */ classEntry("NSSet"),
        /* 21 */ classEntry("NSMutableString"),
    };
    Error error;
    const QVariantMap read = KeyedUnarchiver::unarchivedObjectOfClasses(
        xmlArchive(objects.join()), {QStringLiteral("NSDictionary"), QStringLiteral("NSURL"), QStringLiteral("NSSet")}, &error).toMap();
    ASSERT_TRUE(error.isNull()) << error.message.toStdString();
    EXPECT_EQ(read.value(QStringLiteral("name")), QStringLiteral("Lab"));
    EXPECT_EQ(read.value(QStringLiteral("count")), qint64(12));
    EXPECT_EQ(read.value(QStringLiteral("when")), QDateTime::fromMSecsSinceEpoch((978307200LL + 730000000LL) * 1000 + 500, Qt::UTC));
    EXPECT_EQ(read.value(QStringLiteral("where")), QUrl(QStringLiteral("file:///Volumes/Lab/Orders/1.jpg")));
    EXPECT_EQ(read.value(QStringLiteral("tags")), (QVariantList{QStringLiteral("tags"), QStringLiteral("note")}));
    EXPECT_EQ(read.value(QStringLiteral("note")), QStringLiteral("mutable text"));
}

TEST_F(KeyedArchive, ReadsErrorsWhoseUserInfoCarriesWhatFileErrorsCarry)
{
    const QString fileURL = QStringLiteral("file:///var/lib/Morvanta/KOVA/Failed/order%2017.xml");
    const struct {
        const char* what;
        std::function<QVariantMap(FoundationArchive&)> userInfo; // besides the description
    } cases[] = {
        {"URL and path", [&](FoundationArchive& archive) {
             return QVariantMap{{QStringLiteral("NSURL"), archive.url(fileURL)},
                                {QStringLiteral("NSFilePath"), archive.plain(QStringLiteral("/var/lib/Morvanta/KOVA/Failed/order 17.xml"))}};
         }},
        {"underlying error with a URL of its own", [&](FoundationArchive& archive) {
             const QVariant underlying = archive.dictionary({{QStringLiteral("NSURL"), archive.url(fileURL)}});
             return QVariantMap{{QStringLiteral("NSUnderlyingError"), archive.error(Error::POSIXDomain, 2, underlying)}};
         }},
        {"null and a list", [](FoundationArchive& archive) {
             return QVariantMap{{QStringLiteral("NSHelpAnchor"), archive.object(QStringLiteral("NSNull"), {})},
                                {QStringLiteral("NSUserStringVariant"), archive.array({archive.plain(QStringLiteral("Folder"))})}};
         }},
    };
    const Error expected{Error::CocoaDomain, 260, QStringLiteral("The file couldn’t be opened.")};
    for (const auto& c : cases) {
        FoundationArchive archive;
        QVariantMap userInfo = c.userInfo(archive);
        userInfo.insert(QStringLiteral("NSLocalizedDescription"), archive.plain(expected.message));
        const QByteArray data = archive.data(archive.error(expected.domain, expected.code, archive.dictionary(userInfo)));
        Error error;
        testing::internal::CaptureStderr();
        const QVariant read = KeyedUnarchiver::unarchivedObjectOfClasses(data, {QStringLiteral("NSError")}, &error);
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_TRUE(error.isNull()) << c.what << ": " << error.message.toStdString();
        EXPECT_EQ(read.value<Error>().description(), expected.description()) << c.what;
        EXPECT_EQ(log.count(QStringLiteral("first dropped")), 1) << c.what << ": " << log.toStdString();
    }

    FoundationArchive archive;
    const QVariant rectangle = archive.object(QStringLiteral("NSValue"), {{QStringLiteral("NS.rectval"), QStringLiteral("{{0, 0}, {1, 1}}")},
                                                                          {QStringLiteral("NS.special"), qint64(12)}});
    const QVariant userInfo = archive.dictionary({{QStringLiteral("frame"), rectangle}});
    expectRefused(archive.data(archive.error(expected.domain, 1, userInfo)), {QStringLiteral("NSError"), QStringLiteral("NSValue")},
                  "user info holding a class errors do not carry", "not allowed");
}

TEST_F(KeyedArchive, ReadsNullPlaceholdersInsideCollections)
{
    FoundationArchive archive;
    const QVariant null = archive.object(QStringLiteral("NSNull"), {});
    const QVariant sizes = archive.array({archive.plain(qint64(4)), null});
    const QByteArray data = archive.data(archive.dictionary({{QStringLiteral("sizes"), sizes}, {QStringLiteral("note"), null}}));
    Error error;
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(data, {QStringLiteral("NSDictionary"), QStringLiteral("NSArray")}, &error),
              (QVariantMap{{QStringLiteral("sizes"), QVariantList{qint64(4), QVariant::fromValue(nullptr)}},
                           {QStringLiteral("note"), QVariant::fromValue(nullptr)}}))
        << error.message.toStdString();
    expectRefused(archive.data(null), {QStringLiteral("NSDictionary")}, "a placeholder where an object is asked for", "not allowed");
}

TEST_F(KeyedArchive, SecureDecodingAllowsOnlyTheClassesAskedFor)
{
    const auto folder = makeFolder(QStringLiteral("Folder"));
    const QByteArray folders = KeyedArchiver::archivedDataWithRootObject(QList{folder});
    expectRefused(folders, {QStringLiteral("NSArray"), QStringLiteral("NSURL")}, "folder class not allowed", "not allowed");

    TestJobFolder jobFolder;
    jobFolder.name = QStringLiteral("Jobs");
    const QVariant decoded = KeyedUnarchiver::unarchivedObjectOfClasses(KeyedArchiver::archivedDataWithRootObject(jobFolder), {FolderClass});
    ASSERT_TRUE(Archivable::fromVariant<TestJobFolder>(decoded));
    EXPECT_EQ(Archivable::fromVariant<TestJobFolder>(decoded)->name, QStringLiteral("Jobs"));

    const QByteArray text = KeyedArchiver::archivedDataWithRootObject(QStringLiteral("text"));
    expectRefused(text, {QStringLiteral("NSNumber")}, "text where a number is asked for");
    EXPECT_EQ(KeyedUnarchiver::unarchivedObjectOfClasses(text, {QStringLiteral("NSString")}), QStringLiteral("text"));

    const QByteArray nested = KeyedArchiver::archivedDataWithRootObject(QVariantMap{
        {QStringLiteral("date"), QDateTime::currentDateTimeUtc()},
        {QStringLiteral("inner"), QVariantList{QUrl(QStringLiteral("file:///tmp/a"))}}});
    expectRefused(nested, {QStringLiteral("NSDictionary"), QStringLiteral("NSArray")}, "URL inside without NSURL allowed", "not allowed");
    EXPECT_TRUE(KeyedUnarchiver::unarchivedObjectOfClasses(nested, {QStringLiteral("NSDictionary"), QStringLiteral("NSArray"), QStringLiteral("NSURL")}).isValid());

    const QByteArray immutable = KeyedArchiver::archivedDataWithRootObject(QVariantMap{});
    expectRefused(immutable, {QStringLiteral("NSMutableDictionary")}, "immutable dictionary where a mutable one is asked for");

    expectRefused(xmlArchive(arrayObject({}, 2) + classEntry("KOVA_Unknown")), {QStringLiteral("NSObject")}, "unregistered class");
    expectRefused(xmlArchive("<dict><key>$class</key>" + uid(2) + "</dict>" + classEntry("KOVA_TestRefusing")),
                  {QStringLiteral("NSObject")}, "factory that refuses");
}

TEST_F(KeyedArchive, TypedDecodingReportsMismatches)
{
    TestFolder folder;
    folder.name = QStringLiteral("Typed");
    const QByteArray archive = KeyedArchiver::archivedDataWithRootObject(folder);
    const QStringList allowed{FolderClass, QStringLiteral("NSURL"), QStringLiteral("NSDictionary")};

    KeyedUnarchiver coder(archive, allowed);
    const auto decoded = coder.decodeArchivable<TestFolder>(QStringLiteral("root"), {});
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(coder.decodeArchivable<TestFolder>(QStringLiteral("missing"), {}) == nullptr);
    EXPECT_FALSE(coder.hasError());
    EXPECT_FALSE(coder.containsValueForKey(QStringLiteral("self.name")));
    EXPECT_EQ(coder.decodeInteger(QStringLiteral("root")), 0);
    EXPECT_TRUE(coder.hasError());
    EXPECT_FALSE(coder.decodeObject(QStringLiteral("root")).isValid()) << "decoding stops at the first failure";

    KeyedUnarchiver wrongClass(archive, allowed);
    EXPECT_TRUE(wrongClass.decodeArchivables<TestFolder>(QStringLiteral("root"), {}).isEmpty());
    EXPECT_TRUE(wrongClass.hasError()) << "a single object where an array belongs";
}

TEST_F(KeyedArchive, ArchivingRefusesWhatItCannotWrite)
{
    const QVariantList refused{
        QVariantList{QPoint(1, 2)},
        QVariantMap{{QStringLiteral("missing"), QVariant()}},
        QVariantList{QStringLiteral("text"), QString()},
        QVariantMap{{QStringLiteral("data"), QByteArray()}},
        QVariantList{QDateTime()},
        QVariantList{QUrl()},
        QVariantList{QVariant::fromValue(std::shared_ptr<Archivable>())},
        QRectF(0, 0, qInf(), 1),
    };
    for (const QVariant& value : refused) {
        Error error;
        EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(value, &error).isEmpty()) << value.typeName();
        EXPECT_EQ(error.code, 4866) << value.typeName();
        EXPECT_FALSE(KeyedArchiver::supportsSecureCoding(value)) << value.typeName();
    }
    Error error;
    EXPECT_TRUE(KeyedArchiver::archivedDataWithRootObject(FailingObject(), &error).isEmpty());
    EXPECT_EQ(error.message, QStringLiteral("cannot write"));

    EXPECT_TRUE(KeyedArchiver::supportsSecureCoding(QVariantMap{
        {QStringLiteral("frame"), QRectF(1, 2, 3, 4)},
        {QStringLiteral("layers"), QVariantList{Archivable::toVariant(makeFolder(QStringLiteral("Layer")))}}}));
    Error noneError;
    const QVariant none = KeyedUnarchiver::unarchivedObjectOfClasses(KeyedArchiver::archivedDataWithRootObject(QVariant()), {}, &noneError);
    EXPECT_FALSE(none.isValid()) << "a missing root reads back as missing";
    EXPECT_TRUE(noneError.isNull());
}

TEST_F(KeyedArchive, RefusesHostileArchives)
{
    const QStringList any{QStringLiteral("NSObject")};
    const QByteArray array = classEntry("NSArray");
    expectRefused(QByteArray(), any, "no data");
    expectRefused(PropertyList::toData(QVariantMap{{QStringLiteral("$archiver"), QStringLiteral("NSKeyedArchiver")}}), any, "no tables");
    expectRefused(xmlArchive("<true/>", "<string>not a dictionary</string>"), any, "top not a dictionary");
    expectRefused(xmlArchive("<true/>", "<dict/>"), any, "no root");
    QByteArray wrongArchiver = xmlArchive("<true/>");
    expectRefused(wrongArchiver.replace("NSKeyedArchiver", "Other"), any, "other archiver");
    QByteArray wrongVersion = xmlArchive("<true/>");
    expectRefused(wrongVersion.replace("100000", "200000"), any, "other version");
    QByteArray noNull = xmlArchive("<true/>");
    expectRefused(noNull.replace("$null", "null"), any, "object table not starting with $null");
    expectRefused(xmlArchive("<true/>", "<dict><key>root</key>" + uid(99) + "</dict>"), any, "root out of range");
    expectRefused(xmlArchive("<true/>", "<dict><key>root</key>" + uid(-1) + "</dict>"), any, "negative reference");
    expectRefused(xmlArchive("<true/>", "<dict><key>root</key><string>1</string></dict>"), any, "reference of the wrong type");
    expectRefused(xmlArchive(arrayObject({5}, 2) + array), any, "element out of range");
    expectRefused(xmlArchive(arrayObject({1}, 2) + array), any, "array holding itself", "cycle");
    expectRefused(xmlArchive(arrayObject({3}, 2) + array + arrayObject({1}, 2)), any, "arrays holding each other", "cycle");
    expectRefused(xmlArchive(arrayObject({0}, 2) + array), any, "$null inside an array");
    expectRefused(xmlArchive(arrayObject({}, 1)), any, "object that is its own class entry");
    expectRefused(xmlArchive(arrayObject({}, 9)), any, "class reference out of range");
    expectRefused(xmlArchive(arrayObject({}, 2) + "<string>NSArray</string>"), any, "class entry that is not a dictionary");
    expectRefused(xmlArchive("<dict><key>NS.keys</key><array>" + uid(3) + "</array><key>NS.objects</key><array/><key>$class</key>"
                             + uid(2) + "</dict>" + classEntry("NSDictionary") + "<string>k</string>"),
                  any, "keys and objects of different counts");
    expectRefused(xmlArchive("<dict><key>NS.keys</key><array>" + uid(3) + "</array><key>NS.objects</key><array>" + uid(3)
                             + "</array><key>$class</key>" + uid(2) + "</dict>" + classEntry("NSDictionary") + "<integer>1</integer>"),
                  any, "key that is not text");
    expectRefused(xmlArchive("<dict><key>NS.time</key><real>1e300</real><key>$class</key>" + uid(2) + "</dict>" + classEntry("NSDate")),
                  any, "date out of range");
    expectRefused(xmlArchive("<dict><key>NS.base</key>" + uid(1) + "<key>NS.relative</key>" + uid(3) + "<key>$class</key>" + uid(2)
                             + "</dict>" + classEntry("NSURL") + "<string>a</string>"),
                  any, "URL based on itself", "cycle");

    // A chain deeper than the limit, and forty arrays each holding the next one twice, ending
    // in a text of 64 KiB: 2^40 texts once expanded.
    const auto chain = [&](int links, int referencesToNext) {
        QByteArray objects;
        for (int i = 1; i <= links; ++i)
            objects += arrayObject(QList<int>(referencesToNext, i + 1), links + 2);
        return xmlArchive(objects + "<string>" + QByteArray(64 * 1024, 'x') + "</string>" + array);
    };
    expectRefused(chain(PropertyList::MaximumDepth + 10, 1), any, "nested too deeply", "deeply");
    expectRefused(chain(40, 2), any, "expanding beyond the size limit", "size limit");
}

TEST_F(KeyedArchive, SurvivesCorruptedAndRandomArchives)
{
    const auto folder = makeFolder(QStringLiteral("Fuzzed"));
    folder->children = {makeFolder(QStringLiteral("Child"))};
    const QByteArray binary = KeyedArchiver::archivedDataWithRootObject(QList{folder});
    const QByteArray xml = PropertyList::toData(PropertyList::fromData(binary), PropertyList::Format::XML);
    ASSERT_EQ(decodeFolders(xml).value(0)->name, folder->name);
    QRandomGenerator random(4711);
    for (int round = 0; round < 3000; ++round) {
        QByteArray corrupted = round % 2 ? binary : xml;
        for (int flips = random.bounded(1, 6); flips > 0; --flips)
            corrupted[random.bounded(int(corrupted.size()))] = char(random.bounded(256));
        decodeFolders(corrupted);
        decodeFolders(corrupted.left(random.bounded(int(corrupted.size()))));
    }
}

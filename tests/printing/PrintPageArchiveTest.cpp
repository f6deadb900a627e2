#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include "FoundationArchive.h"
#include "PythonReader.h"
#include "TestEnvironment.h"


#include <gtest/gtest.h>

using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

namespace {

const QString FilterClass = QStringLiteral("CIFilter");

// A colour filter as the archive carries it: an object of the filter class with its name.
class TestFilter : public platform::Archivable {
public:
    explicit TestFilter(const QString& name) : m_name(name) {}
    QStringList archiveClassHierarchy() const override { return {FilterClass, QStringLiteral("NSObject")}; }
    void encodeWithCoder(KeyedArchiver& coder) const override { coder.encodeObject(m_name, QStringLiteral("name")); }
    static std::shared_ptr<platform::Archivable> initWithCoder(KeyedUnarchiver& coder)
    {
        return std::make_shared<TestFilter>(coder.decodeObject(QStringLiteral("name")).toString());
    }
    QString m_name;
};

[[maybe_unused]] const bool filterRegistered = [] {
    KeyedUnarchiver::registerClass({FilterClass, QStringLiteral("NSObject")}, &TestFilter::initWithCoder);
    return true;
}();

template <class Page>
std::shared_ptr<Page> decodedPage(const QByteArray& data, const QStringList& classes = {ZORVAK_PrintPage::ClassName})
{
    platform::Error error;
    const QVariant root = KeyedUnarchiver::unarchivedObjectOfClasses(data, classes, &error);
    return platform::Archivable::fromVariant<Page>(root);
}

QByteArray archived(const ZORVAK_PrintPage& page)
{
    platform::Error error;
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(page, &error);
    EXPECT_TRUE(error.isNull()) << error.description().toStdString();
    return data;
}

// Python's plistlib, a reader of its own, lists the archiver, the root's class chain, each key of
// the root with the class or type of its value (and plain values themselves), the entries of
// the properties dictionary and the input images.
QString describedByPlistlib(const QByteArray& data)
{
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
def kind(value):
    if isinstance(value, plistlib.UID):
        value = follow(value)
        if isinstance(value, dict) and '$class' in value:
            return follow(value['$class'])['$classname']
        return 'null' if value == '$null' else type(value).__name__ + ' ' + str(value)
    return type(value).__name__ + ' ' + str(value)
root = follow(archive['$top']['root'])
print(archive['$archiver'], ','.join(follow(root['$class'])['$classes']))
for key in sorted(k for k in root if k != '$class'):
    print(key, kind(root[key]))
properties = follow(root['self.properties'])
names = [follow(k) for k in properties['NS.keys']]
print('properties:', ' '.join(sorted(n + '=' + kind(v).split(' ')[0] for n, v in zip(names, properties['NS.objects']))))
images = follow(root['self.inputImages'])
print('images:', ' '.join(follow(follow(u)['NS.relative']) for u in images['NS.objects']))
date = follow(properties['NS.objects'][names.index('dateInit')])
print('version', archive['$version'], 'base', follow(follow(images['NS.objects'][0])['NS.base']), 'time', type(date['NS.time']).__name__)
)");
    return QString::fromUtf8(kova::test::runPython(script, data));
}

// A page as the job workflow configures it.
std::shared_ptr<ZORVAK_PrintPage> configuredPage(const QString& model, const QString& paperName)
{
    std::shared_ptr<ZORVAK_PrintPage> page = ZORVAK_PrintPage::printPageForModel(model);
    page->configureNamedPaper(paperName);
    page->setDestinationLabel(QStringLiteral("Counter 2"));
    page->setInputImages({QUrl::fromLocalFile(QStringLiteral("/prints/IMG 1_6x4.jpeg"))});
    page->setImageGravity(QStringLiteral("resizeAspect"));
    return page;
}

} // namespace

TEST(PrintPageArchive, independentReaderSeesClassChainsKeysAndTypes)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    EXPECT_EQ(describedByPlistlib(archived(*configuredPage(QStringLiteral("DS620"), QStringLiteral("dnp6x4")))),
              "NSKeyedArchiver ZORVAK_PrintPage_DNP,ZORVAK_PrintPage,NSObject\n"
              "self.colorManagement int 1\n"
              "self.cutMode int 0\n"
              "self.destinationLabel str Counter 2\n"
              "self.inputImages NSArray\n"
              "self.mediaSize int 30\n"
              "self.multicut int 2\n"
              "self.overcoat int 0\n"
              "self.overcoatBackside bool False\n"
              "self.printerModel int 0\n"
              "self.properties NSMutableDictionary\n"
              "self.quality int 0\n"
              "self.requiredModel str DS620\n"
              "self.sheetFed bool False\n"
              "properties: autoRotate=bool dateInit=NSDate gravity=str paperName=str\n"
              "images: file:///prints/IMG%201_6x4.jpeg\n"
              "version 100000 base $null time float\n");

    const std::shared_ptr<ZORVAK_PrintPage> mitsubishi = configuredPage(QStringLiteral("Mitsubishi CP-D90DW"), QStringLiteral("Media4x6Cut6x4"));
    mitsubishi->setColorManagement(-1);
    EXPECT_EQ(describedByPlistlib(archived(*mitsubishi)),
              "NSKeyedArchiver ZORVAK_PrintPageMitsu1,ZORVAK_PrintPage,NSObject\n"
              "self.colorManagement int 4294967295\n"
              "self.destinationLabel str Counter 2\n"
              "self.inputImages NSArray\n"
              "self.mediaSize int 2\n"
              "self.multicut int 128\n"
              "self.overcoat int 0\n"
              "self.printerModel int 57\n"
              "self.properties NSMutableDictionary\n"
              "self.quality int 0\n"
              "self.requiredModel str Mitsubishi CP-D90DW\n"
              "properties: autoRotate=bool dateInit=NSDate gravity=str\n"
              "images: file:///prints/IMG%201_6x4.jpeg\n"
              "version 100000 base $null time float\n");
}

TEST(PrintPageArchive, roundTripKeepsTheArchivedFieldsAndLosesTheRest)
{
    ZORVAK_PrintPage_DNP page;
    page.setInputImages({QUrl::fromLocalFile(QStringLiteral("/a.jpeg")), QUrl::fromLocalFile(QStringLiteral("/b.jpeg"))});
    page.setFileURLs({QUrl::fromLocalFile(QStringLiteral("/a.plist"))});
    page.setImageFilters({QVariant(QVariantList{platform::Archivable::toVariant(std::make_shared<TestFilter>(QStringLiteral("CIColorControls")))})});
    page.setPrinterProfileICC(QUrl::fromLocalFile(QStringLiteral("/profiles/DS620.icc")));
    page.setRequiredModel(QStringLiteral("DNP DS80"));
    page.setDestinationLabel(QString::fromUtf8("Café"));
    page.setRequiresIdealMedia(true);
    page.setReason(QStringLiteral("paper jam"));
    page.setColorManagement(-2);
    page.setPrinterModel(46);
    page.setCopies(3);
    page.setOutputSize(QSizeF(1844, 1240));
    page.setIsDuplex(true);
    page.setMediaSize(50);
    page.setMulticut(14);
    page.setOvercoat(21);
    page.setCutMode(120);
    page.setQuality(10);
    page.setOvercoatBackside(true);

    const auto read = decodedPage<ZORVAK_PrintPage_DNP>(archived(page));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->inputImages(), page.inputImages());
    EXPECT_EQ(read->fileURLs(), page.fileURLs());
    ASSERT_EQ(read->imageFilters().size(), 1);
    const auto filter = platform::Archivable::fromVariant<TestFilter>(read->imageFilters().first().toList().value(0));
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->m_name, "CIColorControls");
    EXPECT_EQ(read->printerProfileICC(), page.printerProfileICC());
    EXPECT_EQ(read->requiredModel(), "DNP DS80");
    EXPECT_EQ(read->destinationLabel(), QString::fromUtf8("Café"));
    EXPECT_EQ(read->properties(), page.properties());
    EXPECT_TRUE(read->requiresIdealMedia());
    EXPECT_EQ(read->colorManagement(), -2);
    EXPECT_EQ(read->printerModel(), 46u);
    EXPECT_EQ(read->copies(), 0);
    EXPECT_TRUE(read->ZORVAK_PrintPage::outputSize().isNull()) << "the stored size; the DNP page derives its own";
    EXPECT_FALSE(read->isDuplex());
    EXPECT_EQ(read->mediaSize(), 50);
    EXPECT_EQ(read->multicut(), 14);
    EXPECT_EQ(read->overcoat(), 21);
    EXPECT_EQ(read->cutMode(), 120);
    EXPECT_EQ(read->quality(), 10);
    EXPECT_FALSE(read->sheetFed());
    EXPECT_TRUE(read->overcoatBackside());

    ZORVAK_PrintPageMitsu1 mitsubishi;
    mitsubishi.setMediaSize(5);
    mitsubishi.setMulticut(6036);
    mitsubishi.setOvercoat(2);
    mitsubishi.setQuality(4);
    const auto readMitsubishi = decodedPage<ZORVAK_PrintPageMitsu1>(archived(mitsubishi));
    ASSERT_NE(readMitsubishi, nullptr);
    EXPECT_EQ(readMitsubishi->mediaSize(), 5);
    EXPECT_EQ(readMitsubishi->multicut(), 6036u);
    EXPECT_EQ(readMitsubishi->overcoat(), 2);
    EXPECT_EQ(readMitsubishi->quality(), 4);
}

// Decoding starts from a bare object: the plain initialiser's defaults do not apply, and only
// the dictionary's own defaults answer for missing entries.
TEST(PrintPageArchive, decodingAppliesNoDefaultsOfThePlainInitialiser)
{
    kova::test::FoundationArchive archive;
    const QVariant root = archive.object(ZORVAK_PrintPageMitsu1::ClassName, {{QStringLiteral("self.mediaSize"), 260},
                                                                             {QStringLiteral("self.quality"), 511},
                                                                             {QStringLiteral("self.multicut"), 4232}});
    const auto page = decodedPage<ZORVAK_PrintPageMitsu1>(archive.data(root), {ZORVAK_PrintPageMitsu1::ClassName});
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->autoRotate());
    EXPECT_EQ(page->imageGravity(), "resizeAspectFill");
    EXPECT_FALSE(page->dateInit().isValid());
    EXPECT_EQ(page->colorManagement(), 0);
    EXPECT_EQ(page->printerModel(), 0u);
    EXPECT_TRUE(page->requiredModel().isNull());
    EXPECT_TRUE(page->inputImages().isEmpty());
    EXPECT_TRUE(page->properties().isEmpty());
    EXPECT_EQ(page->mediaSize(), 4) << "the low 8 bits";
    EXPECT_EQ(page->quality(), 255);
    EXPECT_EQ(page->multicut(), 4232u);
}

TEST(PrintPageArchive, refusesValuesOfOtherClasses)
{
    const std::pair<const char*, std::function<QVariant(kova::test::FoundationArchive&)>> cases[] = {
        {"self.inputImages", [](auto& a) { return a.array({a.plain(QStringLiteral("/a.jpeg"))}); }},
        {"self.fileURLs", [](auto& a) { return a.url(QStringLiteral("file:///a.plist")); }},
        {"self.properties", [](auto& a) { return a.array({}); }},
        {"self.requiredModel", [](auto& a) { return a.plain(qint64(7)); }},
        {"self.printerProfileICC", [](auto& a) { return a.plain(QStringLiteral("/profiles/a.icc")); }},
        {"self.imageFilters", [](auto& a) { return a.array({a.url(QStringLiteral("file:///a"))}); }},
    };
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(key);
        kova::test::FoundationArchive archive;
        const QVariant root = archive.object(ZORVAK_PrintPage::ClassName, {{QString::fromLatin1(key), value(archive)}});
        EXPECT_EQ(decodedPage<ZORVAK_PrintPage>(archive.data(root)), nullptr);
    }
}

// Archives altered by another writer decode to nothing or to the defaults of what they lost.
TEST(PrintPageArchive, alteredArchivesGiveNothingOrDefaults)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    // One run alters a fresh copy of the archive for each case named, a line each.
    const QString alter = kova::test::ArchiveReading + QStringLiteral(R"(
import base64
pristine = plistlib.dumps(archive, fmt=plistlib.FMT_BINARY)
def add(value):
    objects.append(value)
    return plistlib.UID(len(objects) - 1)
for case in sys.argv[1:]:
    archive = plistlib.loads(pristine)
    objects = archive['$objects']
    root = follow(archive['$top']['root'])
    if case == 'unknownClass':
        objects[root['$class'].data] = {'$classname': 'ZORVAK_PrintPageX', '$classes': ['ZORVAK_PrintPageX', 'NSObject']}
    elif case == 'badUID':
        root['self.inputImages'] = plistlib.UID(100000)
    elif case == 'badRoot':
        archive['$top']['root'] = plistlib.UID(len(objects))
    elif case == 'propertiesAreThePage':
        root['self.properties'] = archive['$top']['root']
    elif case == 'gravityNumber':
        properties = follow(root['self.properties'])
        names = [follow(k) for k in properties['NS.keys']]
        properties['NS.objects'][names.index('gravity')] = add(7)
        properties['NS.objects'][names.index('autoRotate')] = add('no')
    print(base64.b64encode(plistlib.dumps(archive, fmt=plistlib.FMT_BINARY)).decode())
)");
    const QByteArray data = archived(*configuredPage(QStringLiteral("DS620"), QStringLiteral("dnp6x4")));
    const QStringList broken = {"unknownClass", "badUID", "badRoot", "propertiesAreThePage"};
    const QList<QByteArray> altered =
        kova::test::pythonLines(alter, data, broken + QStringList{QStringLiteral("gravityNumber")});
    ASSERT_EQ(altered.size(), broken.size() + 1);
    for (qsizetype index = 0; index < broken.size(); ++index)
        EXPECT_EQ(decodedPage<ZORVAK_PrintPage>(QByteArray::fromBase64(altered.at(index))), nullptr)
            << broken.at(index).toStdString();

    const auto page = decodedPage<ZORVAK_PrintPage_DNP>(QByteArray::fromBase64(altered.last()));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->imageGravity(), "resizeAspectFill");
    EXPECT_TRUE(page->autoRotate());
    EXPECT_EQ(page->properties().keys(), QStringList({"dateInit", "paperName"}));
    EXPECT_EQ(page->multicut(), 2);
}

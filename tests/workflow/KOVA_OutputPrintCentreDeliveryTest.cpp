#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FixedTimeZone.h"
#include "HostileFiles.h"
#include "PythonReader.h"
#include "XmlElements.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileOperations.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/plist/PropertyList.h"
#include "printing/pages/PrintPageClasses.h"
#include "printing/pages/ZORVAK_PrintPage.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/packages/KOVA_Package.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <thread>

using kova::test::entriesOf;
using kova::test::readFile;
using platform::Error;
using Delivery = KOVA_OutputPrintCentreDelivery;

namespace {

const QString Stamp = QStringLiteral("2026-12-08_10-15-30.12300");
QByteArray failedRenameTarget; // the hot folder, for the rename that refuses to move into it

int refusingRenameIntoHotFolder(const char* from, const char* to)
{
    return std::strncmp(to, failedRenameTarget.constData(), failedRenameTarget.size()) == 0
        ? EACCES
        : platform::FileOperations::systemRenameNoReplace(from, to);
}

// What the durable folder of pictures held, staging aside, when a file was renamed into it,
// and how big that file was.
struct PictureArrival {
    QStringList visibleBefore;
    qint64 size;
};
QList<PictureArrival> pictureArrivals;

int recordingRenameIntoPictures(const char* from, const char* to)
{
    const QString folder = Delivery::printPicturesFolderPath();
    if (QFile::decodeName(to).startsWith(folder + "/"))
        pictureArrivals.append({entriesOf(folder).filter(QRegularExpression("^[^.]")), QFileInfo(QFile::decodeName(from)).size()});
    return platform::FileOperations::systemRenameNoReplace(from, to);
}

using Report = std::pair<bool, Error>;

// A job bundle whose "image1" is IMG_1.JPG, an output of its package with one printer
// destination, Pressoria's hot folder, and a fixed clock in UTC.
class KOVA_OutputPrintCentreDeliveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::WallClock::setNow([] { return QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30, 123), Qt::UTC); });
        ASSERT_TRUE(QDir().mkpath(hot) && QDir().mkpath(scratch.path("Order.kovajob")));
        pressoria->setURL(QUrl::fromLocalFile(hot), Delivery::HotFolderKey);
        platform::FileOperations::removeItem(Delivery::printPicturesFolderPath());
        const QString ticket = QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><image1>/photos/IMG_1.JPG</image1></data>");
        ASSERT_TRUE(kova::test::writeFile(scratch.path("Order.kovajob/job.xml"), ticket.toUtf8()));
        job = KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(scratch.path("Order.kovajob/job.xml")));
        ASSERT_TRUE(job);
        package->setJob(job);
    }
    void TearDown() override
    {
        platform::WallClock::setNow(nullptr);
        pressoria->removeObjectForKey(Delivery::HotFolderKey);
    }

    KOVA_Output::Pointer outputTo(const QString& settings, const QString& label = {})
    {
        auto output = KOVA_Output::initWithNode(kova::test::rootElement(
            QStringLiteral("<output><destination type=\"printer\">%1</destination></output>").arg(settings).toUtf8().constData()));
        output->setPackage(package);
        if (!label.isNull()) {
            const auto destination = output->destinations().first();
            QVariantMap values = destination->valuesDict();
            values.insert(QStringLiteral("destinationLabel"), label);
            destination->setValuesDict(values);
        }
        return output;
    }

    Report deliver(const KOVA_Output::Pointer& output)
    {
        Report report{false, Error{"none", 0, "no report"}};
        delivery.deliver(*output, kova::test::solid(40, 30, kova::test::red), output->destinations().first(),
                         [&](bool success, const Error& error) { report = {success, error}; });
        return report;
    }

    QStringList leftovers() const
    {
        return entriesOf(Delivery::temporaryDirectoryURL().toLocalFile()) + entriesOf(Delivery::printPicturesFolderPath());
    }

    FixedTimeZone zone{"UTC"};
    kova::test::ScratchFolder scratch;
    const QString hot = scratch.path("Hot");
    std::shared_ptr<platform::UserDefaults> pressoria = platform::UserDefaults::initWithSuiteName(Delivery::PressoriaSuiteName);
    std::shared_ptr<KOVA_Job> job;
    KOVA_Package::Pointer package = KOVA_Package::init();
    Delivery delivery;
};

} // namespace

const QString Computed = QStringLiteral("<printer>2</printer><mediaType>3</mediaType><cutInHalf>1</cutInHalf><copies>0</copies>");
const QString DNP = QStringLiteral("<model>DS620</model><papersize>dnp6x4</papersize><gravity>resizeAspect</gravity>");

// A bundle arrives whole: the picture and its settings inside, nothing left behind.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, bundlesCarryThePictureAndItsSettings)
{
    const QByteArray settingsFile = platform::PropertyList::toData(QVariantMap{{"printer", 9}, {"ribbon", "glossy"}});
    const auto computed = [](const QString& name, qint64 quantity, const QString& label, const QString& gravity,
                             QVariantMap base = {}) {
        base.insert(QVariantMap{{"printer", 2}, {"mediaType", 3}, {"cutInHalf", 1}, {"printQuantity", quantity},
                                {"destinationLabel", label}, {"imageGravity", gravity}, {"inputImages", QVariantList{name + ".jpeg"}}});
        return base;
    };
    // A paper name leads into no other folder.
    const QString sixByEight = "IMG_1.JPG_..:6x8_" + Stamp, image = "IMG_1.JPG_image_" + Stamp;
    const struct {
        const char* name;
        QString settings, label, bundle;
        QVariantMap plist; // empty: the job's file copied unchanged
    } cases[] = {
        {"computed", Computed + "<papersize>../6x8</papersize><gravity>resizeAspect</gravity>", "Counter 2", sixByEight,
         computed(sixByEight, 1, "Counter 2", "resizeAspect")},
        {"overlaid", Computed + "<copies>3</copies><filepath>print.plist</filepath>", {}, image,
         computed(image, 3, "", "resizeAspectFill", {{"ribbon", "glossy"}})},
        {"copied", "<printer>2</printer><mediaType>3</mediaType><filepath>print.plist</filepath>", {}, image, {}},
    };
    ASSERT_TRUE(kova::test::writeFile(scratch.path("Order.kovajob/print.plist"), settingsFile));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Report report = deliver(outputTo(c.settings, c.label));
        EXPECT_TRUE(report.first) << report.second.description().toStdString();
        EXPECT_EQ(entriesOf(hot), QStringList{c.bundle + ".kovaprintjob"});
        const QString contents = hot + "/" + c.bundle + ".kovaprintjob/Contents/";
        EXPECT_EQ(entriesOf(contents), QStringList({c.bundle + ".jpeg", c.bundle + ".plist"}));
        const QByteArray plist = readFile(contents + c.bundle + ".plist");
        if (c.plist.isEmpty())
            EXPECT_EQ(plist, settingsFile);
        else
            EXPECT_EQ(platform::PropertyList::fromData(plist), c.plist);
        EXPECT_EQ(QImageReader(contents + c.bundle + ".jpeg").size(), QSize(40, 30));
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(",").toStdString();
        platform::FileOperations::removeItem(hot + "/" + c.bundle + ".kovaprintjob");
    }
}

// Without settings a page is archived; its picture is kept in the durable folder.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, pagesReferToAKeptPicture)
{
    const struct {
        QString settings, name;
        quint64 printerModel; // a queue name stands for a missing model
    } cases[] = {
        {DNP, "IMG_1.JPG_dnp6x4_" + Stamp, 0},
        {"<queue>Mitsubishi CP-D80DW</queue>", "IMG_1.JPG_image_" + Stamp, 56},
        // A settings file outside the job bundle is not taken into a bundle.
        {DNP + "<printer>2</printer><mediaType>3</mediaType><filepath>../outside.plist</filepath>", "IMG_1.JPG_dnp6x4_" + Stamp, 0},
    };
    ASSERT_TRUE(kova::test::writeFile(scratch.path("outside.plist"), platform::PropertyList::toData(QVariantMap{{"a", 1}})));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings.toStdString());
        kova::test::loggedBy([&] { EXPECT_TRUE(deliver(outputTo(c.settings, "Counter 2")).first); });
        const QString pagePath = hot + "/" + c.name + ".jpeg.printpage";
        EXPECT_EQ(entriesOf(hot), QStringList{c.name + ".jpeg.printpage"});
        EXPECT_EQ(entriesOf(Delivery::printPicturesFolderPath()), QStringList{c.name + ".jpeg"});
        Error error;
        const auto page = platform::Archivable::fromVariant<ZORVAK_PrintPage>(
            platform::KeyedUnarchiver::unarchivedObjectOfClasses(readFile(pagePath), {ZORVAK_PrintPage::ClassName}, &error));
        ASSERT_TRUE(page) << error.description().toStdString();
        EXPECT_EQ(page->printerModel(), c.printerModel);
        EXPECT_EQ(page->destinationLabel(), "Counter 2");
        EXPECT_EQ(page->inputImages(), QList<QUrl>{QUrl::fromLocalFile(Delivery::printPicturesFolderPath() + "/" + c.name + ".jpeg")});
        platform::FileOperations::removeItem(pagePath);
        platform::FileOperations::removeItem(Delivery::printPicturesFolderPath());
    }
}

// A page's picture arrives in the durable folder in one step and whole, nothing of it there
// before: a process that dies at any moment leaves no half-made picture under a visible name.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, keptPicturesArriveWhole)
{
    pictureArrivals.clear();
    platform::FileOperations::replaceRenameNoReplaceFunction(&recordingRenameIntoPictures);
    const Report report = deliver(outputTo(DNP));
    platform::FileOperations::replaceRenameNoReplaceFunction(nullptr);
    EXPECT_TRUE(report.first) << report.second.description().toStdString();
    const QString picture = Delivery::printPicturesFolderPath() + "/IMG_1.JPG_dnp6x4_" + Stamp + ".jpeg";
    ASSERT_EQ(pictureArrivals.size(), 1);
    EXPECT_EQ(pictureArrivals[0].visibleBefore, QStringList());
    EXPECT_EQ(pictureArrivals[0].size, QFileInfo(picture).size());
    EXPECT_EQ(QImageReader(picture).size(), QSize(40, 30));
}

// A failure reports once, is logged, and leaves nothing in the hot folder or behind.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, failuresLeaveNothing)
{
    const auto dnpImport = PrintPageClasses::classNamed("ZORVAK_PrintPage_DNP");
    const auto nothing = [] {};
    const struct {
        const char* name;
        QString settings;
        std::function<void()> arrange, restore;
        qint64 code;
        QString message;
        bool packaged = true;
    } cases[] = {
        {"no hot folder", DNP, [&] { pressoria->removeObjectForKey(Delivery::HotFolderKey); }, nothing, -35,
         "could not locate print center hot folder"},
        {"hot folder missing", DNP, [&] { pressoria->setURL(QUrl::fromLocalFile(scratch.path("Gone")), Delivery::HotFolderKey); },
         nothing, -35, "could not locate print center hot folder"},
        {"no original", DNP, nothing, nothing, -34,
         "failed to get output Image path for destination KOVA_Destination(printer){queue:;model:DS620;papersize:dnp6x4;copies:0;}",
         false},
        {"no page class", DNP, [] { PrintPageClasses::registerClass("ZORVAK_PrintPage_DNP", {}); },
         [&] { PrintPageClasses::registerClass("ZORVAK_PrintPage_DNP", dnpImport); }, -36,
         "could not make print page for destination KOVA_Destination(printer){queue:;model:DS620;papersize:dnp6x4;copies:0;}"},
        {"move refused", Computed,
         [&] {
             failedRenameTarget = QFile::encodeName(hot + "/");
             platform::FileOperations::replaceRenameNoReplaceFunction(&refusingRenameIntoHotFolder);
         },
         [] { platform::FileOperations::replaceRenameNoReplaceFunction(nullptr); }, EACCES, "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto output = outputTo(c.settings);
        if (!c.packaged)
            output->setPackage(nullptr);
        c.arrange();
        Report report;
        const QString log = kova::test::loggedBy([&] { report = deliver(output); });
        c.restore();
        EXPECT_FALSE(report.first);
        EXPECT_EQ(report.second.code, c.code);
        EXPECT_TRUE(report.second.message.contains(c.message)) << report.second.message.toStdString();
        EXPECT_TRUE(log.contains("ERROR: " + report.second.description())) << log.toStdString();
        EXPECT_TRUE(entriesOf(hot).isEmpty() && leftovers().isEmpty()) << leftovers().join(",").toStdString();
        pressoria->setURL(QUrl::fromLocalFile(hot), Delivery::HotFolderKey);
    }
}

// Deliveries of one picture at one moment, and an item already of that name, never share a
// name: each takes the next free one, and its items follow it.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, deliveriesAtOnceTakeDistinctNames)
{
    const QString base = "IMG_1.JPG_dnp6x4_" + Stamp;
    for (const QString& settings : {DNP, Computed + "<papersize>dnp6x4</papersize>"}) {
        const bool page = settings == DNP;
        const QString item = page ? ".jpeg.printpage" : ".kovaprintjob";
        ASSERT_TRUE(kova::test::writeFile(hot + "/" + base + item, "earlier"));
        const auto output = outputTo(settings);
        std::thread other([&] { EXPECT_TRUE(deliver(output).first); });
        EXPECT_TRUE(deliver(output).first);
        other.join();
        EXPECT_EQ(entriesOf(hot), QStringList({base + " 1" + item, base + " 2" + item, base + item}));
        EXPECT_EQ(readFile(hot + "/" + base + item), "earlier");
        for (const QString& name : {base + " 1", base + " 2"}) {
            const QString contents = hot + "/" + name + ".kovaprintjob/Contents/";
            EXPECT_TRUE(page ? QFile::exists(Delivery::printPicturesFolderPath() + "/" + name + ".jpeg")
                             : entriesOf(contents) == QStringList({name + ".jpeg", name + ".plist"})
                                 && platform::PropertyList::fromData(readFile(contents + name + ".plist")).toMap().value("inputImages")
                                     == QVariantList{name + ".jpeg"})
                << name.toStdString();
        }
        for (const QString& name : entriesOf(hot))
            platform::FileOperations::removeItem(hot + "/" + name);
    }
}

// Python's plistlib, a reader of its own, sees the bundle's settings with their types, and the
// page archive: archiver, class chain, each key with its type (none for a missing label), the
// properties and the picture's URL.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, independentReaderSeesSettingsAndPageArchive)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    const QString name = "IMG_1.JPG_dnp6x4_" + Stamp;
    ASSERT_TRUE(deliver(outputTo(Computed + "<papersize>dnp6x4</papersize>")).first);
    ASSERT_TRUE(deliver(outputTo(DNP)).first);
    const QString script = kova::test::ArchiveReading + QStringLiteral(R"(
settings = plistlib.load(open(sys.argv[1], 'rb'))
print(' '.join(k + ':' + type(v).__name__ for k, v in sorted(settings.items())), settings['inputImages'])
def kind(value):
    value = follow(value) if isinstance(value, plistlib.UID) else value
    return follow(value['$class'])['$classname'] if isinstance(value, dict) else type(value).__name__
root = follow(archive['$top']['root'])
print(archive['$archiver'], ','.join(follow(root['$class'])['$classes']))
print(' '.join(k + ':' + kind(v) for k, v in sorted(root.items()) if k != '$class'))
properties = follow(root['self.properties'])
print(' '.join(sorted(follow(k) + ':' + kind(v) for k, v in zip(properties['NS.keys'], properties['NS.objects']))))
print(follow(follow(follow(root['self.inputImages'])['NS.objects'][0])['NS.relative']))
)");
    QFile page(hot + "/" + name + ".jpeg.printpage");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(kova::test::runPython(script, page.readAll(),
                                                                      {hot + "/" + name + ".kovaprintjob/Contents/" + name + ".plist"}))
                                  .split('\n');
    ASSERT_EQ(lines.size(), 6) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "cutInHalf:int destinationLabel:str imageGravity:str inputImages:list mediaType:int printQuantity:int "
                        "printer:int ['" + name + ".jpeg']");
    EXPECT_EQ(lines[1], "NSKeyedArchiver ZORVAK_PrintPage_DNP,ZORVAK_PrintPage,NSObject");
    EXPECT_EQ(lines[2], "self.colorManagement:int self.cutMode:int self.inputImages:NSArray self.mediaSize:int "
                        "self.multicut:int self.overcoat:int self.overcoatBackside:bool self.printerModel:int "
                        "self.properties:NSMutableDictionary self.quality:int self.requiredModel:str self.sheetFed:bool");
    EXPECT_EQ(lines[3], "autoRotate:bool dateInit:NSDate gravity:str paperName:str");
    const QUrl picture(lines[4], QUrl::StrictMode);
    EXPECT_EQ(picture, QUrl::fromLocalFile(Delivery::printPicturesFolderPath() + "/" + name + ".jpeg"));
    EXPECT_EQ(QImageReader(picture.toLocalFile()).size(), QSize(40, 30));
}

// Whatever the original image and the paper are called, a bundle and a page arrive directly
// in the hot folder under names that fit, the picture's name keeping its stamp.
TEST_F(KOVA_OutputPrintCentreDeliveryTest, hostileNamesArriveInTheHotFolder)
{
    const QString longName = QStringLiteral("n").repeated(300);
    const struct {
        const char* name;
        QString original, paper, start;
    } cases[] = {
        {"parent", "..", "<papersize>6x8</papersize>", "image_6x8_"},
        {"parent below a folder", "/photos/x/..", "<papersize>..</papersize>", "image_image_"},
        {"current", ".", "", "image_image_"},
        {"long original", longName + ".JPG", "<papersize>6x8</papersize>", "nnnn"},
        {"long paper", "IMG_1.JPG", "<papersize>" + longName + "</papersize>", "IMG_1.JPG_nnnn"},
    };
    const QString page = QStringLiteral("<model>DS620</model>");
    for (const auto& c : cases) {
        for (const QString& form : {Computed, page}) {
            SCOPED_TRACE(std::string(c.name) + (form == page ? " page" : " bundle"));
            const auto output = outputTo(form + c.paper);
            output->setAllImagesPath(c.original);
            const Report report = deliver(output);
            EXPECT_TRUE(report.first) << report.second.description().toStdString();
            const QStringList arrived = entriesOf(hot);
            ASSERT_EQ(arrived.size(), 1);
            EXPECT_TRUE(arrived.front().startsWith(c.start)) << arrived.front().toStdString();
            EXPECT_TRUE(arrived.front().contains(Stamp)) << arrived.front().toStdString();
            EXPECT_LE(arrived.front().toUtf8().size(), 255);
            ASSERT_TRUE(platform::FileOperations::removeItem(hot + "/" + arrived.front()));
        }
    }
}

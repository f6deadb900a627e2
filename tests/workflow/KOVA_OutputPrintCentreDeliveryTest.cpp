#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include "../core/ImageTestPictures.h"
#include "FileFixtures.h"
#include "FixedTimeZone.h"
#include "HostileFiles.h"
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

#include <QImageReader>
#include <QProcess>

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
    const QString sixByEight = "IMG_1.JPG_6x8_" + Stamp, image = "IMG_1.JPG_image_" + Stamp;
    const struct {
        const char* name;
        QString settings, label, bundle;
        QVariantMap plist; // empty: the job's file copied unchanged
    } cases[] = {
        {"computed", Computed + "<papersize>6x8</papersize><gravity>resizeAspect</gravity>", "Counter 2", sixByEight,
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
        QString settings, name, className, requiredModel;
        quint64 printerModel;
    } cases[] = {
        {DNP, "IMG_1.JPG_dnp6x4_" + Stamp, "ZORVAK_PrintPage_DNP", "DS620", 0},
        {"<queue>Mitsubishi CP-D80DW</queue>", "IMG_1.JPG_image_" + Stamp, "ZORVAK_PrintPageMitsu1", "Mitsu CP-D80DW [BETA]", 56},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.className.toStdString());
        EXPECT_TRUE(deliver(outputTo(c.settings, "Counter 2")).first);
        const QString pagePath = hot + "/" + c.name + ".jpeg.printpage";
        EXPECT_EQ(entriesOf(hot), QStringList{c.name + ".jpeg.printpage"});
        EXPECT_EQ(entriesOf(Delivery::printPicturesFolderPath()), QStringList{c.name + ".jpeg"});
        Error error;
        const auto page = platform::Archivable::fromVariant<ZORVAK_PrintPage>(
            platform::KeyedUnarchiver::unarchivedObjectOfClasses(readFile(pagePath), {ZORVAK_PrintPage::ClassName}, &error));
        ASSERT_TRUE(page) << error.description().toStdString();
        EXPECT_EQ(page->archiveClassName(), c.className);
        EXPECT_EQ(page->printerModel(), c.printerModel);
        EXPECT_EQ(page->requiredModel(), c.requiredModel);
        EXPECT_EQ(page->destinationLabel(), "Counter 2");
        EXPECT_EQ(page->inputImages(), QList<QUrl>{QUrl::fromLocalFile(Delivery::printPicturesFolderPath() + "/" + c.name + ".jpeg")});
        platform::FileOperations::removeItem(pagePath);
        platform::FileOperations::removeItem(Delivery::printPicturesFolderPath());
    }
}

// The example tickets (examples/Tickets) run through processJob against the example
// packages and templates, with a delivery that records every picture instead of
// writing it. Nothing is written into the example folders.
#include "workflow/jobs/KOVA_Job.h"

#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/progress/Progress.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"
#include "workflow/outputs/KOVA_Output.h"
#include "workflow/outputs/KOVA_OutputDelivery.h"
#include "workflow/packages/KOVA_Package.h"

#include <QDir>
#include <QDirIterator>
#include <QMultiMap>
#include <QRegularExpression>
#include <QSize>

#include <gtest/gtest.h>

#include <mutex>

namespace {

const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);

// Records what reaches each destination: package name to picture sizes. When told to,
// reports failure without an error, as a delivery that loses track of what went wrong.
class RecordingDelivery : public KOVA_OutputDelivery {
public:
    bool failSilently = false;

    void deliver(KOVA_Output& output, const QImage& picture, const std::shared_ptr<KOVA_Destination>& destination,
                 const Reply& reply) override
    {
        {
            std::lock_guard lock(m_mutex);
            const auto package = output.package();
            m_sizes.insert(package ? package->packageName() : QString(), picture.size());
            m_labels.append(destination->destinationLabel());
        }
        if (reply)
            reply(!failSilently, {});
    }
    void deliverOriginal(KOVA_Output&, const std::shared_ptr<KOVA_Destination>&, const Reply&) override {}

    QMultiMap<QString, QSize> sizes() const
    {
        std::lock_guard lock(m_mutex);
        return m_sizes;
    }
    QStringList labels() const
    {
        std::lock_guard lock(m_mutex);
        return m_labels;
    }

private:
    mutable std::mutex m_mutex;
    QMultiMap<QString, QSize> m_sizes;
    QStringList m_labels;
};

class JobRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Packages")), key_kovaFolderPackages);
        defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Templates")), key_kovaFolderTemplates);
        KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, m_delivery);
    }
    void TearDown() override
    {
        KOVA_OutputDelivery::installDefaults();
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->removeObjectForKey(key_kovaFolderPackages);
        defaults->removeObjectForKey(key_kovaFolderTemplates);
    }

    struct Run {
        platform::Error error;
        qint64 completed = 0;
    };

    Run process(const QVariant& ticket)
    {
        Run run;
        const auto job = KOVA_Job::instanceWithXMLObject(ticket);
        if (!job) {
            ADD_FAILURE() << "no job";
            return run;
        }
        job->processJob([&run](const platform::Error& error) { run.error = error; });
        run.completed = job->progress()->completedUnitCount();
        return run;
    }

    static QUrl ticket(const QString& name) { return QUrl::fromLocalFile(examples + QStringLiteral("/../Tickets/") + name); }

    std::shared_ptr<RecordingDelivery> m_delivery = std::make_shared<RecordingDelivery>();
};

TEST_F(JobRoad, ExampleTicketsDeliverEveryOutputOfTheirPackages)
{
    const struct {
        QString ticket;
        QMultiMap<QString, QSize> sizes;
    } cases[] = {
        // Landscape (no container to find the image in), a postcard, an index print per image.
        {QStringLiteral("Native Order.xml"),
         {{QStringLiteral("Print 6x4"), QSize(1800, 1200)},
          {QStringLiteral("Postcard"), QSize(600, 400)},
          {QStringLiteral("Index Prints"), QSize(400, 600)},
          {QStringLiteral("Index Prints"), QSize(400, 600)}}},
        {QStringLiteral("Wrenlow Order.xml"), {{QStringLiteral("Postcard"), QSize(600, 400)}}},
        // The bundle's portrait image picks the portrait variant (a simple outlet of the
        // 400 x 600 frame); the bundle's own fallback; the inline package.
        {QStringLiteral("Order 1001.kovajob"),
         {{QStringLiteral("Print 6x4"), QSize(400, 600)},
          {QStringLiteral("Mini Print"), QSize(400, 600)},
          {QStringLiteral("Inline Card"), QSize(600, 400)}}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.ticket.toStdString());
        m_delivery = std::make_shared<RecordingDelivery>();
        KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, m_delivery);
        const Run run = process(ticket(each.ticket));
        EXPECT_TRUE(run.error.isNull()) << run.error.description().toStdString();
        EXPECT_EQ(run.completed, 100);
        EXPECT_EQ(m_delivery->sizes(), each.sizes);
    }
}

TEST_F(JobRoad, TheOrderingApplicationsLabelReachesEveryDestination)
{
    process(ticket(QStringLiteral("Wrenlow Order.xml")));
    EXPECT_EQ(m_delivery->labels(), QStringList{QStringLiteral("Counter 2")});
}

TEST_F(JobRoad, AJobFailsWhenAnyPackageFailsAndStillRunsTheOthers)
{
    const struct {
        QByteArray ticket;
        bool failSilently;
        QString error;
        int delivered;
    } cases[] = {
        {"<data type=\"kova_job\" version=\"1.0\"><package plucode=\"NOSUCH\" name=\"Nosuch\"/>"
         "<package plucode=\"POSTCARD\"/></data>",
         false, QStringLiteral("could not find package with name Nosuch"), 1},
        {"<data type=\"kova_job\" version=\"1.0\"><package plucode=\"POSTCARD\"/></data>", true,
         QStringLiteral("package Postcard failed"), 1},
        {"<data type=\"kova_job\" version=\"1.0\"><customer>Jane</customer></data>", false,
         QStringLiteral("job  names no package"), 0},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.error.toStdString());
        m_delivery = std::make_shared<RecordingDelivery>();
        m_delivery->failSilently = each.failSilently;
        KOVA_OutputDelivery::install(KOVA_Destination::Kind::Filepath, m_delivery);
        const Run run = process(each.ticket);
        EXPECT_EQ(run.error.domain, platform::Error::POSIXDomain);
        EXPECT_EQ(run.error.code, -3);
        EXPECT_EQ(run.error.message, each.error);
        EXPECT_EQ(run.completed, 100);
        EXPECT_EQ(m_delivery->sizes().size(), each.delivered);
    }
}

} // namespace

// With the workflow's own deliveries, a bundle's outputs become image files in the
// print-to-file sets' folders (the home folder until one is chosen), and printer
// destinations print jobs and print pages in the print centre's hot folder.
TEST(JobRoadDelivered, FilesAndPrintJobsArriveWhereTheDestinationsSay)
{
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Packages")), key_kovaFolderPackages);
    defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Templates")), key_kovaFolderTemplates);
    const QDir home = QDir::home();
    const QString hot = home.filePath(QStringLiteral("Hot"));
    ASSERT_TRUE(QDir().mkpath(hot));
    const auto pressoria = platform::UserDefaults::initWithSuiteName(KOVA_OutputPrintCentreDelivery::PressoriaSuiteName);
    pressoria->setURL(QUrl::fromLocalFile(hot), KOVA_OutputPrintCentreDelivery::HotFolderKey);
    const QString bundle = examples + QStringLiteral("/../Tickets/Order 1001.kovajob");
    const QByteArray printed = QStringLiteral(
        "<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"Counter Print\">"
        "<template name=\"Postcard\"><filepath>Postcard.xml</filepath></template>"
        "<output size=\"{600, 400}\">"
        "<destination type=\"printer\"><printer>2</printer><mediaType>3</mediaType><cutInHalf>1</cutInHalf><papersize>6x4</papersize></destination>"
        "<destination type=\"printer\"><model>DS620</model><papersize>dnp6x4</papersize></destination>"
        "</output><image1>%1/images/Lighthouse.jpg</image1></package></data>")
                                   .arg(bundle)
                                   .toUtf8();

    for (const QVariant& ticket : {QVariant(QUrl::fromLocalFile(bundle)), QVariant(printed)}) {
        const auto job = KOVA_Job::instanceWithXMLObject(ticket);
        ASSERT_TRUE(job);
        platform::Error error{QStringLiteral("none"), 0, {}};
        job->processJob([&error](const platform::Error& reported) { error = reported; });
        EXPECT_TRUE(error.isNull()) << error.description().toStdString();
    }

    QStringList written;
    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QString path = home.relativeFilePath(files.next());
        if (!path.startsWith('.')) // the preferences and the kept print pictures
            written.append(path.replace(QRegularExpression(QStringLiteral("_\\d{4}(-\\d\\d){2}_\\d\\d(-\\d\\d){2}\\.\\d+")), QStringLiteral("_<time>")));
    }
    written.sort();
    // The portrait print and the inline card of one image each keep their own file; the
    // mini print's package names no image.
    EXPECT_EQ(written.join('\n').toStdString(), (QStringList{
                           QStringLiteral("Hot/Lighthouse.jpg_6x4_<time>.kovaprintjob/Contents/Lighthouse.jpg_6x4_<time>.jpeg"),
                           QStringLiteral("Hot/Lighthouse.jpg_6x4_<time>.kovaprintjob/Contents/Lighthouse.jpg_6x4_<time>.plist"),
                           QStringLiteral("Hot/Lighthouse.jpg_dnp6x4_<time>.jpeg.printpage"),
                           QStringLiteral("Lighthouse 1.jpeg"),
                           QStringLiteral("Lighthouse.jpeg"),
                           QStringLiteral("image.jpeg"),
                       })
                                                        .join('\n')
                                                        .toStdString());
    pressoria->removeObjectForKey(KOVA_OutputPrintCentreDelivery::HotFolderKey);
    defaults->removeObjectForKey(key_kovaFolderPackages);
    defaults->removeObjectForKey(key_kovaFolderTemplates);
}

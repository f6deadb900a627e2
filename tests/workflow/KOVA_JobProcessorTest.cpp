// The processor run for real on a work tree of its own: tickets dropped into a
// watched hot folder are found, run against the example packages and templates,
// delivered into the print-to-file sets (the sandboxed home folder) and filed.
#include "workflow/processing/KOVA_JobProcessor.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/observation/OBKVONotificationCenter.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/WallClock.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StandardPaths.h"
#include "platform/plist/KeyedArchiver.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/processing/KOVA_JobFiling.h"
#include "workflow/processing/KOVA_UnfiledTickets.h"

#include "BundleLinks.h"
#include "FixedTimeZone.h"
#include "HostileFiles.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <malloc.h>

namespace {

using kova::test::waitUntil;

const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
const QByteArray missingPackage = "<data type=\"kova_job\" version=\"1.0\"><package plucode=\"NOSUCH\" name=\"Nosuch\"/></data>";

QByteArray exampleTicket(const QString& name)
{
    QFile file(examples + QStringLiteral("/../Tickets/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

// Writes the ticket of `bundle`: an inline package that draws the example postcard with
// `image1` and delivers it to `destinations`.
bool writePostcardTicket(const QString& bundle, const QString& destinations, const QString& image1)
{
    QFile ticket(bundle + QStringLiteral("/job.xml"));
    const QString text = QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"Card\">"
                                        "<template name=\"Postcard\"><filepath>Postcard.xml</filepath></template>"
                                        "<output name=\"card\" size=\"{600, 400}\">%1</output>"
                                        "<image1>%2</image1></package></data>")
                             .arg(destinations, image1);
    return ticket.open(QIODevice::WriteOnly) && ticket.write(text.toUtf8()) > 0;
}

// A destination that copies the job's original into `folder` as it is.
QString originalCopiedTo(const QString& folder)
{
    return QStringLiteral("<destination type=\"filepath\"><filepath>%1</filepath>"
                          "<saveoriginalfileasis>yes</saveoriginalfileasis></destination>")
        .arg(folder);
}

std::shared_ptr<platform::UserDefaults> defaults()
{
    return platform::UserDefaults::standardUserDefaults();
}

class JobProcessorRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString root = QDir::home().filePath(QStringLiteral("road-") + QUuid::createUuid().toString(QUuid::Id128));
        m_hot = root + QStringLiteral("/Hot");
        m_completed = root + QStringLiteral("/Completed");
        m_failed = root + QStringLiteral("/Failed");
        m_incoming = root + QStringLiteral("/Incoming");
        for (const QString& folder : {m_hot, m_completed, m_failed, m_incoming})
            ASSERT_TRUE(QDir().mkpath(folder));
        defaults()->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Packages")), key_kovaFolderPackages);
        defaults()->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Templates")), key_kovaFolderTemplates);
        defaults()->setURL(QUrl::fromLocalFile(m_completed), key_kovaFolderJobsCompleted);
        defaults()->setURL(QUrl::fromLocalFile(m_failed), key_kovaFolderJobsFailed);
        defaults()->setInteger(0, key_kovaProcessorJobsCompleted);
        defaults()->setInteger(0, key_kovaProcessorJobsFailed);
        defaults()->setBool(true, key_kovaProcessorIsRunning);
        // Each reading of the clock is one second later, so stamps show the order of filing.
        platform::WallClock::setNow([this] { return QDateTime(QDate(2025, 3, 3), QTime(14, 5, 9)).addSecs(m_ticks++); });
        m_busy = OBKVONotificationCenter::addObservationKeyPath(
            KOVA_JobProcessor::shared(), KOVA_JobProcessor::IsProcessingKey, platform::KeyValueObservingOptionNew,
            [this](const OBKVONotification& notification) { m_busyChanges.append(notification.newValue().toBool()); });
        // The listed folders start watching once the list has loaded; the test's own
        // folder joins after that, so that it is configured only once.
        ASSERT_TRUE(waitUntil([] {
            const auto folders = KOVA_JobFolders::jobFolders();
            return std::all_of(folders.cbegin(), folders.cend(), [](const auto& folder) { return folder->hasFileEvent(); });
        }));
        m_folder = std::make_shared<KOVA_JobFolders>(QStringLiteral("Hot ") + root.right(8), QUrl::fromLocalFile(m_hot));
        m_folder->setJobFileUTType(QStringLiteral("public.xml"));
        KOVA_JobFolders::classSide().addFolderSet(m_folder);
        m_folder->configureJobsFolder();
    }

    void TearDown() override
    {
        defaults()->setBool(false, key_kovaProcessorIsRunning);
        EXPECT_TRUE(waitUntil([] { return !KOVA_JobFolders::isProcessing(); }));
        m_folder->setEnabled(false);
        KOVA_JobFolders::classSide().removeFolderSet(m_folder);
        OBKVONotificationCenter::defaultCenter().removeObservation(m_busy);
        platform::WallClock::setNow(nullptr);
    }

    // Written elsewhere and moved in, as a ticket arrives whole.
    void drop(const QString& name, const QByteArray& ticket, const QString& into = {}, int secondsOld = 0)
    {
        const QString written = m_incoming + QStringLiteral("/.") + name;
        QFile file(written);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ticket);
        file.flush();
        file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsOld), QFileDevice::FileModificationTime);
        file.close();
        const QString target = (into.isEmpty() ? m_hot : into) + QLatin1Char('/') + name;
        ASSERT_EQ(std::rename(QFile::encodeName(written).constData(), QFile::encodeName(target).constData()), 0);
    }

    static qint64 counter(const QString& key) { return defaults()->integerForKey(key); }
    static qsizetype pendingCount() { return KOVA_JobFolders::jobsPending().size(); }
    bool filed(qsizetype count) const { return entries(m_completed).size() + entries(m_failed).size() == count; }
    // Filed, counted and released.
    bool counted(qint64 count) const
    {
        return filed(count) && counter(key_kovaProcessorJobsCompleted) + counter(key_kovaProcessorJobsFailed) == count
               && !KOVA_JobFolders::isProcessing();
    }
    // One job at a time: every start is followed by its end before the next start.
    qsizetype runs() const
    {
        qsizetype starts = 0;
        for (qsizetype i = 0; i < m_busyChanges.size(); ++i) {
            EXPECT_EQ(m_busyChanges.at(i), i % 2 == 0) << "change " << i;
            starts += m_busyChanges.at(i) ? 1 : 0;
        }
        return starts;
    }

    FixedTimeZone m_zone{"Europe/Berlin"};
    QString m_hot, m_completed, m_failed, m_incoming;
    std::atomic<int> m_ticks = 0;
    QList<bool> m_busyChanges; // on the main queue
    std::shared_ptr<OBKVOObservation> m_busy;
    std::shared_ptr<KOVA_JobFolders> m_folder;
};

TEST_F(JobProcessorRoad, ATicketIsRunFiledAndCountedAndAReceiptIsLeftAlone)
{
    drop(QStringLiteral("receipt-1.xml"), exampleTicket(QStringLiteral("Wrenlow Order.xml")));
    drop(QStringLiteral("Wrenlow Order.xml"), exampleTicket(QStringLiteral("Wrenlow Order.xml")));
    ASSERT_TRUE(waitUntil([this] { return counted(1); }, std::chrono::seconds(20)));
    EXPECT_EQ(entries(m_completed), QStringList{QStringLiteral("Wrenlow Order.20250303-140509.xml")});
    EXPECT_EQ(counter(key_kovaProcessorJobsCompleted), 1);
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 0);
    EXPECT_EQ(entries(m_hot), QStringList{QStringLiteral("receipt-1.xml")});
    EXPECT_TRUE(waitUntil([] { return pendingCount() == 0; }));
    EXPECT_EQ(runs(), 1);
}

TEST_F(JobProcessorRoad, OldestTicketFirstOneAtATimeAlsoForTicketsArrivingMeanwhile)
{
    drop(QStringLiteral("first.xml"), exampleTicket(QStringLiteral("Wrenlow Order.xml")));
    ASSERT_TRUE(waitUntil([this] { return !m_busyChanges.isEmpty(); }, std::chrono::seconds(20)));
    drop(QStringLiteral("newer.xml"), missingPackage, {}, 100);
    drop(QStringLiteral("older.xml"), missingPackage, {}, 200);
    ASSERT_TRUE(waitUntil([this] { return counted(3); }, std::chrono::seconds(30)));
    QStringList filings = entries(m_completed) + entries(m_failed);
    std::sort(filings.begin(), filings.end(), [](const QString& a, const QString& b) { return a.section('.', 1) < b.section('.', 1); });
    for (QString& name : filings)
        name = name.section('.', 0, 0);
    EXPECT_EQ(filings, (QStringList{QStringLiteral("first"), QStringLiteral("older"), QStringLiteral("newer")}));
    EXPECT_EQ(counter(key_kovaProcessorJobsCompleted), 1);
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 2);
    EXPECT_EQ(runs(), 3);
}

TEST_F(JobProcessorRoad, TicketsOfOneNameFiledInOneSecondKeepEachOther)
{
    platform::WallClock::setNow([] { return QDateTime(QDate(2025, 3, 3), QTime(14, 5, 9)); });
    drop(QStringLiteral("order.xml"), missingPackage);
    drop(QStringLiteral("order.20250101-101010.xml"), missingPackage, {}, 10);
    ASSERT_TRUE(waitUntil([this] { return counted(2); }, std::chrono::seconds(20)));
    EXPECT_EQ(entries(m_failed),
              (QStringList{QStringLiteral("order.20250303-140509-1.xml"), QStringLiteral("order.20250303-140509.xml")}));
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 2);
}

TEST_F(JobProcessorRoad, AnUnreadableTicketStaysAndIsReadAgainWhenItChanges)
{
    drop(QStringLiteral("late.xml"), "<data type=\"kova_job\" version=\"1.0\"><package");
    drop(QStringLiteral("ready.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([this] { return counted(1); }, std::chrono::seconds(20)));
    EXPECT_EQ(entries(m_hot), QStringList{QStringLiteral("late.xml")});
    drop(QStringLiteral("late.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([this] { return counted(2); }, std::chrono::seconds(20)));
    EXPECT_TRUE(entries(m_hot).isEmpty());
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 2);
}

TEST_F(JobProcessorRoad, APausedProcessorListsTicketsAndRunsThemWhenSwitchedOn)
{
    defaults()->setBool(false, key_kovaProcessorIsRunning);
    drop(QStringLiteral("waiting.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([] { return pendingCount() == 1; }, std::chrono::seconds(20)));
    kova::test::processMainQueue();
    EXPECT_EQ(entries(m_hot), QStringList{QStringLiteral("waiting.xml")});
    EXPECT_EQ(runs(), 0);
    defaults()->setBool(true, key_kovaProcessorIsRunning);
    ASSERT_TRUE(waitUntil([this] { return counted(1); }, std::chrono::seconds(20)));
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 1);
}

TEST_F(JobProcessorRoad, ATicketThatCannotBeFiledStaysRunsOnceAndLaterTicketsStillRun)
{
    defaults()->removeObjectForKey(key_kovaFolderJobsCompleted);
    drop(QStringLiteral("delivered.xml"), exampleTicket(QStringLiteral("Wrenlow Order.xml")), {}, 100);
    ASSERT_TRUE(waitUntil([this] { return runs() == 1 && !KOVA_JobFolders::isProcessing(); }, std::chrono::seconds(20)));
    drop(QStringLiteral("later.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([this] { return counted(1) && pendingCount() == 1; }, std::chrono::seconds(20)));
    kova::test::processMainQueue();
    EXPECT_EQ(entries(m_hot), QStringList{QStringLiteral("delivered.xml")});
    EXPECT_EQ(counter(key_kovaProcessorJobsCompleted), 0);
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 1);
    EXPECT_FALSE(KOVA_JobFolders::isProcessing());
    EXPECT_EQ(runs(), 2);
    const QString delivered = m_hot + QStringLiteral("/delivered.xml");
    EXPECT_EQ(KOVA_JobProcessor::shared()->ticketsLeftUnfiled(),
              (QMap<QString, QString>{{delivered, QStringLiteral("No Completed folder is chosen.")}}));

    // Watched anew, the ticket becomes a new job object, and still does not run again
    // ahead of a newer ticket.
    m_folder->setEnabled(false);
    m_folder->setEnabled(true);
    drop(QStringLiteral("after.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([this] { return counted(2) && pendingCount() == 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(runs(), 3);

    // Asked for, it is still not run again: once its folder is chosen it is filed as
    // it ran, and counted, without printing twice.
    const KOVA_JobFolders::Jobs pending = KOVA_JobFolders::jobsPending();
    ASSERT_EQ(pending.size(), 1);
    pending.first()->processToCompletion();
    defaults()->setURL(QUrl::fromLocalFile(m_completed), key_kovaFolderJobsCompleted);
    KOVA_JobProcessor::shared()->fileLeftUnfiled();
    EXPECT_TRUE(waitUntil([this] { return counted(3) && pendingCount() == 0; }, std::chrono::seconds(20)));
    EXPECT_EQ(counter(key_kovaProcessorJobsCompleted), 1);
    EXPECT_TRUE(entries(m_hot).isEmpty());
    EXPECT_TRUE(KOVA_JobProcessor::shared()->ticketsLeftUnfiled().isEmpty());
    EXPECT_EQ(runs(), 3);
}

TEST_F(JobProcessorRoad, ATicketWrittenAnewAfterItRanUnfiledRunsAgainAsNew)
{
    defaults()->removeObjectForKey(key_kovaFolderJobsFailed);
    const auto leftUnfiled = [] { return KOVA_JobProcessor::shared()->ticketsLeftUnfiled().size(); };
    drop(QStringLiteral("again.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([&] { return runs() == 1 && leftUnfiled() == 1 && !KOVA_JobFolders::isProcessing(); },
                          std::chrono::seconds(20)));
    drop(QStringLiteral("again.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([&] { return runs() == 2 && leftUnfiled() == 1 && !KOVA_JobFolders::isProcessing(); },
                          std::chrono::seconds(20)));
    // Only the ticket as it is now is kept as ran.
    EXPECT_EQ(KOVA_UnfiledTickets::stored().size(), 1);
    defaults()->setURL(QUrl::fromLocalFile(m_failed), key_kovaFolderJobsFailed);
    KOVA_JobProcessor::shared()->fileLeftUnfiled();
    EXPECT_TRUE(waitUntil([this] { return counted(1) && pendingCount() == 0; }, std::chrono::seconds(20)));
    EXPECT_TRUE(KOVA_UnfiledTickets::stored().isEmpty());
    EXPECT_EQ(runs(), 2);
}

// Every path under the folders, hidden ones too.
QStringList treeOf(const QStringList& folders)
{
    QStringList paths;
    for (const QString& folder : folders) {
        QDirIterator items(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (items.hasNext())
            paths.append(items.next());
    }
    paths.sort();
    return paths;
}

// A minute of retries on the replaceable clock: the job's end and the failure to file
// it are logged when it ran, then only a new reason, then the filing; and nothing is
// made under the work folders or beside the preferences while the ticket cannot be filed.
TEST_F(JobProcessorRoad, RetriesThatCannotFileAreSilentAndLeaveNothingBehind)
{
    const QString root = QFileInfo(m_hot).path();
    const QString ticket = m_hot + QStringLiteral("/stuck.xml");
    ASSERT_TRUE(kova::test::writeFile(root + QStringLiteral("/File"), "a file, not a folder"));
    defaults()->setURL(QUrl::fromLocalFile(root + QStringLiteral("/File/Failed")), key_kovaFolderJobsFailed);
    // Started where the system clock is, so that retries scheduled before run on it.
    const auto clock = std::make_shared<platform::ManualClock>(platform::DispatchClock::current()->now());
    platform::DispatchClock::setCurrent(clock);
    const auto advanceUntil = [&clock](const std::function<bool()>& done) {
        return waitUntil([&] {
            clock->advance(std::chrono::seconds(1));
            return done();
        }, std::chrono::seconds(30));
    };
    const auto reason = [&ticket] { return KOVA_JobProcessor::shared()->ticketsLeftUnfiled().value(ticket); };
    // Twelve retries, each one surely made, besides those the clock makes.
    const auto minuteOfRetries = [&clock] {
        for (int retry = 0; retry < 12; ++retry) {
            clock->advance(std::chrono::seconds(5));
            KOVA_JobProcessor::shared()->fileLeftUnfiled();
            kova::test::processMainQueue();
        }
    };
    const QStringList watched{root, platform::StandardPaths::path(platform::StandardPaths::Folder::Preferences)};
    QStringList before, after;
    const QString log = kova::test::loggedBy([&] {
        drop(QStringLiteral("stuck.xml"), missingPackage);
        ASSERT_TRUE(advanceUntil([&] { return runs() == 1 && !reason().isEmpty() && !KOVA_JobFolders::isProcessing(); }));
        before = treeOf(watched);
        minuteOfRetries();
        after = treeOf(watched);
        defaults()->removeObjectForKey(key_kovaFolderJobsFailed);
        ASSERT_TRUE(advanceUntil([&] { return reason() == QStringLiteral("No Failed folder is chosen."); }));
        minuteOfRetries();
        defaults()->setURL(QUrl::fromLocalFile(m_failed), key_kovaFolderJobsFailed);
        ASSERT_TRUE(advanceUntil([this] { return counted(1); }));
        minuteOfRetries();
    });
    platform::DispatchClock::setCurrent(nullptr);
    EXPECT_EQ(after, before);
    const struct {
        QString line;
        qsizetype times;
    } expected[] = {
        {QStringLiteral("Job completed successfully? No (error:"), 1},
        {QStringLiteral("Failed to move completed job to "), 1},
        {QStringLiteral("Failed to get key_kovaFolderJobsFailed"), 0},
        {QStringLiteral("%1 that ran is still not filed: ").arg(ticket), 1},
        {QStringLiteral("%1 that ran is still not filed: No Failed folder is chosen.\n").arg(ticket), 1},
        {QStringLiteral("%1 that ran is filed now\n").arg(ticket), 1},
    };
    for (const auto& each : expected)
        EXPECT_EQ(log.count(each.line), each.times) << each.line.toStdString() << "\n" << log.toStdString();
    EXPECT_EQ(runs(), 1);
}

TEST_F(JobProcessorRoad, DisablingAFolderTakesItsTicketsOffTheListAndEnablingRescansIt)
{
    defaults()->setBool(false, key_kovaProcessorIsRunning);
    drop(QStringLiteral("held.xml"), missingPackage);
    ASSERT_TRUE(waitUntil([] { return pendingCount() == 1; }, std::chrono::seconds(20)));
    m_folder->setEnabled(false);
    EXPECT_TRUE(waitUntil([] { return pendingCount() == 0; }));
    EXPECT_FALSE(m_folder->hasFileEvent());
    EXPECT_TRUE(m_folder->description().contains(QStringLiteral(">{DISabled;name='")));
    m_folder->setEnabled(true);
    EXPECT_TRUE(waitUntil([] { return pendingCount() == 1; }, std::chrono::seconds(20)));
}

TEST_F(JobProcessorRoad, JobBundlesAreMovedIntoTheDefaultFolderAndRunOtherFilesAreRefused)
{
    const auto folder = KOVA_JobFolders::defaultJobFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->name(), KOVA_JobFolders::OldProcessorFolderName);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo(folder->jobsFolderURL().toLocalFile()).isDir(); }));
    const QString bundle = m_incoming + QStringLiteral("/Order 1001.kovajob");
    ASSERT_TRUE(platform::FileOperations::copyItem(examples + QStringLiteral("/../Tickets/Order 1001.kovajob"), bundle));
    QFile loose(m_incoming + QStringLiteral("/loose.xml"));
    ASSERT_TRUE(loose.open(QIODevice::WriteOnly) && loose.write(missingPackage) > 0);
    loose.close();
    platform::WallClock::setNow([] { return QDateTime(QDate(2025, 3, 3), QTime(14, 5, 9)); });
    const QStringList refused =
        KOVA_JobFolders::addJobFiles({QUrl::fromLocalFile(m_incoming + QStringLiteral("/loose.xml")), QUrl::fromLocalFile(bundle)});
    EXPECT_EQ(refused, QStringList{m_incoming + QStringLiteral("/loose.xml stays where it is: not a job bundle")});
    EXPECT_EQ(entries(m_incoming), QStringList{QStringLiteral("loose.xml")});
    ASSERT_TRUE(waitUntil([this] { return counted(1); }, std::chrono::seconds(30)));
    const QStringList filings = entries(m_completed) + entries(m_failed);
    EXPECT_EQ(filings, QStringList{QStringLiteral("Order 1001.20250303-140509.kovajob")});
    EXPECT_TRUE(QFileInfo::exists(m_completed + QLatin1Char('/') + filings.value(0) + QStringLiteral("/job.xml")));
}

// A bundle whose original climbs out of it is run from a working folder where the path
// names a real picture: nothing is copied, the line names the path, and the job is filed
// as failed.
TEST_F(JobProcessorRoad, ABundleWhoseOriginalClimbsOutCopiesNothingAndFails)
{
    const QString root = QFileInfo(m_hot).path();
    const QString out = root + QStringLiteral("/Out");
    const QString climbing = QStringLiteral("../../../elsewhere/secret.jpg");
    QImage secret(8, 8, QImage::Format_RGB32);
    secret.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/w/elsewhere")) && QDir().mkpath(root + QStringLiteral("/w/a/b/c")));
    ASSERT_TRUE(secret.save(root + QStringLiteral("/w/elsewhere/secret.jpg"), "JPEG"));
    const QString bundle = m_incoming + QStringLiteral("/Climb.kovajob");
    ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/images")));
    ASSERT_TRUE(writePostcardTicket(bundle, originalCopiedTo(out), climbing));

    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root + QStringLiteral("/w/a/b/c")));
    ASSERT_TRUE(QFileInfo(climbing).isFile());
    testing::internal::CaptureStderr();
    KOVA_JobFolders::addJobFiles({QUrl::fromLocalFile(bundle)});
    const bool done = waitUntil([this] { return counted(1); }, std::chrono::seconds(30));
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    QDir::setCurrent(previous);
    ASSERT_TRUE(done);
    EXPECT_EQ(counter(key_kovaProcessorJobsFailed), 1);
    EXPECT_EQ(entries(m_failed).size(), 1);
    EXPECT_TRUE(entries(m_failed).value(0).startsWith(QStringLiteral("Climb.")));
    EXPECT_TRUE(entries(out).isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("refused the path %1").arg(climbing))) << log.toStdString();
}

// Links in a bundle's images: one leading out (the picture, or the images folder itself)
// has nothing from outside drawn or copied, names the entry and files the job as failed;
// one that stays inside the bundle, and an absolute picture, still run.
TEST_F(JobProcessorRoad, LinksLeadingOutOfABundleDeliverNothingAndFailLinksInsideRun)
{
    const QString root = QFileInfo(m_hot).path();
    const QString elsewhere = root + QStringLiteral("/w/elsewhere");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(QDir().mkpath(elsewhere) && picture.save(elsewhere + QStringLiteral("/photo.jpg"), "JPEG"));
    using kova::test::BundleLink;
    const auto linked = [&](BundleLink link) {
        return [&elsewhere, &picture, link](const QString& bundle) {
            ASSERT_TRUE(kova::test::layBundleLink(link, bundle, QStringLiteral("images"), QStringLiteral("photo.jpg"),
                                                  elsewhere + QStringLiteral("/photo.jpg"), [&picture](const QString& path) {
                                                      return QDir().mkpath(QFileInfo(path).path()) && picture.save(path, "JPEG");
                                                  }));
        };
    };
    const struct {
        QString name;
        std::function<void(const QString& bundle)> layout;
        QString image1;
        bool runs;
    } cases[] = {
        {nameOf(BundleLink::PictureLinkedOut), linked(BundleLink::PictureLinkedOut), QStringLiteral("photo.jpg"), false},
        {nameOf(BundleLink::ImagesFolderLinkedOut), linked(BundleLink::ImagesFolderLinkedOut), QStringLiteral("photo.jpg"), false},
        {nameOf(BundleLink::PictureLinkedInside), linked(BundleLink::PictureLinkedInside), QStringLiteral("photo.jpg"), true},
        {nameOf(BundleLink::ImagesFolderLinkedInside), linked(BundleLink::ImagesFolderLinkedInside), QStringLiteral("photo.jpg"), true},
        {QStringLiteral("absolute picture elsewhere"), [](const QString& bundle) { ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/images"))); },
         elsewhere + QStringLiteral("/photo.jpg"), true},
    };
    qint64 run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString out = root + QStringLiteral("/Out") + QString::number(run);
        const QString name = QStringLiteral("Linked%1").arg(run);
        const QString bundle = m_incoming + QLatin1Char('/') + name + QStringLiteral(".kovajob");
        ASSERT_TRUE(QDir().mkpath(bundle));
        c.layout(bundle);
        const QString drawn = QStringLiteral("<destination type=\"filepath\"><filepath>%1</filepath></destination>").arg(out);
        ASSERT_TRUE(writePostcardTicket(bundle, drawn + originalCopiedTo(out), c.image1));
        const qsizetype failedBefore = entries(m_failed).size();
        testing::internal::CaptureStderr();
        KOVA_JobFolders::addJobFiles({QUrl::fromLocalFile(bundle)});
        const bool done = waitUntil([this, run] { return counted(run + 1); }, std::chrono::seconds(30));
        const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
        ++run;
        ASSERT_TRUE(done);
        EXPECT_EQ(entries(m_failed).size() - failedBefore, c.runs ? 0 : 1);
        EXPECT_EQ(entries(out).size(), c.runs ? 2 : 0) << entries(out).join(' ').toStdString();
        // The drawing names the entry it refused, the copy the name the ticket gave.
        const QString drawing = name + QStringLiteral(".kovajob/images/photo.jpg of layer");
        EXPECT_EQ(log.contains(drawing), !c.runs) << log.toStdString();
        EXPECT_EQ(log.contains(QStringLiteral("refused the path photo.jpg: it leads out of the job folder")), !c.runs);
    }
}

TEST(JobFolders, BuiltInFoldersAndTheJobTypesOfAFolderListReadAgain)
{
    const auto builtIns = KOVA_JobFolders::builtInFolders();
    ASSERT_EQ(builtIns.size(), 2);
    const auto oldProcessor = std::dynamic_pointer_cast<KOVA_JobFolders>(builtIns.at(0));
    const auto wrenlow = std::dynamic_pointer_cast<KOVA_JobFolders>(builtIns.at(1));
    EXPECT_EQ(oldProcessor->name(), KOVA_JobFolders::OldProcessorFolderName);
    EXPECT_TRUE(oldProcessor->enabled() && oldProcessor->hasFixedName() && oldProcessor->addJobsPendingPathComponents());
    EXPECT_EQ(oldProcessor->jobFileUTType(), QStringLiteral("com.morvanta.kova.job"));
    EXPECT_TRUE(oldProcessor->jobsFolderURL().toLocalFile().endsWith(
        QStringLiteral("/opt/KOVA OS X Share Folder/Kova-Processor Folder ƒ/Jobs/Pending")));
    EXPECT_TRUE(wrenlow->enabled());
    EXPECT_EQ(wrenlow->jobFileUTType(), QStringLiteral("public.xml"));
    EXPECT_EQ(wrenlow->URL().toLocalFile(), QDir::homePath() + QStringLiteral("/Wrenlow/Prints"));

    // Saved before: every folder but the old processor folder takes XML tickets.
    const auto old = std::make_shared<KOVA_JobFolders>(KOVA_JobFolders::OldProcessorFolderName, QUrl::fromLocalFile(QDir::homePath()));
    const auto other = std::make_shared<KOVA_JobFolders>(QStringLiteral("Bundles"), QUrl::fromLocalFile(QDir::homePath()));
    platform::Error error;
    const QByteArray saved = platform::KeyedArchiver::archivedDataWithRootObject(
        QVariantList{platform::Archivable::toVariant(old), platform::Archivable::toVariant(other)}, &error);
    ASSERT_FALSE(saved.isEmpty()) << error.description().toStdString();
    const QString key = KOVA_JobFolders::classSide().keyForSavedFolderSets();
    defaults()->setObject(saved, key);
    const auto loaded = KOVA_JobFolders::arrangedLoadedList(KOVA_JobFolders::classSide().folderSetsFromSavedData());
    ASSERT_EQ(loaded.size(), 2);
    const auto readOld = std::dynamic_pointer_cast<KOVA_JobFolders>(loaded.at(0));
    const auto readOther = std::dynamic_pointer_cast<KOVA_JobFolders>(loaded.at(1));
    ASSERT_TRUE(readOld && readOther);
    EXPECT_TRUE(readOld->addJobsPendingPathComponents() && readOld->hasFixedName());
    EXPECT_EQ(readOld->jobFileUTType(), QStringLiteral("com.morvanta.kova.job"));
    EXPECT_EQ(readOther->jobFileUTType(), QStringLiteral("public.xml"));
    EXPECT_FALSE(readOther->hasFixedName());
    defaults()->removeObjectForKey(key);
}

TEST(JobFiling, StampsOfEarlierFilingsAreReplacedAndNumbersFollowTheStamp)
{
    const QString stamp = QStringLiteral("20250303-140509");
    const struct {
        QString name;
        int number;
        QString filed;
    } cases[] = {
        {QStringLiteral("order.xml"), 0, QStringLiteral("order.20250303-140509.xml")},
        {QStringLiteral("order.20250101-101010.xml"), 0, QStringLiteral("order.20250303-140509.xml")},
        {QStringLiteral("order.20250101-101010-3.20240101-000000.xml"), 0, QStringLiteral("order.20250303-140509.xml")},
        {QStringLiteral("order.backup.xml"), 0, QStringLiteral("order.backup.20250303-140509.xml")},
        {QStringLiteral("order.19990101-101010.xml"), 0, QStringLiteral("order.19990101-101010.20250303-140509.xml")},
        {QStringLiteral("Order 1001.kovajob"), 2, QStringLiteral("Order 1001.20250303-140509-2.kovajob")},
        {QStringLiteral("order"), 0, QStringLiteral("order.20250303-140509")},
    };
    for (const auto& each : cases)
        EXPECT_EQ(KOVA_JobFiling::filedName(each.name, stamp, each.number), each.filed) << each.name.toStdString();
}

// A name too long to take the stamp gives up the end of its base, between characters.
TEST(JobFiling, LongNamesAreShortenedToFitAndTheirStampIsStillRecognised)
{
    const QString stamp = QStringLiteral("20250303-140509");
    const QString later = QStringLiteral("20260101-000000");
    const struct {
        QString name;
        int number;
        QString extension;
    } cases[] = {
        {QString(246, QLatin1Char('L')) + QStringLiteral(".xml"), 0, QStringLiteral(".xml")},
        {QString(123, QChar(0x00e9)) + QStringLiteral(".xml"), 12, QStringLiteral(".xml")},
        {QStringLiteral("\U0001F600").repeated(61) + QStringLiteral(".kovajob"), 0, QStringLiteral(".kovajob")},
        {QString(235, QChar(0x4e00)).left(80) + QStringLiteral(".20250101-101010.xml"), 999, QStringLiteral(".xml")},
        {QStringLiteral("o.") + QString(250, QLatin1Char('x')), 0, {}},
    };
    for (const auto& each : cases) {
        const QString filed = KOVA_JobFiling::filedName(each.name, stamp, each.number);
        SCOPED_TRACE(filed.toStdString());
        EXPECT_LE(filed.toUtf8().size(), 255);
        EXPECT_TRUE(filed.isValidUtf16());
        EXPECT_EQ(filed.front(), each.name.front());
        EXPECT_TRUE(filed.contains(QLatin1Char('.') + stamp));
        EXPECT_TRUE(filed.endsWith(each.extension));
        // Filed again, it takes the new stamp in place of the old one.
        const QString again = KOVA_JobFiling::filedName(filed, later);
        EXPECT_TRUE(again.contains(QLatin1Char('.') + later) && !again.contains(stamp)) << again.toStdString();
    }
}

TEST_F(JobProcessorRoad, ATicketWithALongNameIsFiledAndNotRunAgain)
{
    const QString name = QString(246, QLatin1Char('L')) + QStringLiteral(".xml");
    drop(name, missingPackage);
    ASSERT_TRUE(waitUntil([this] { return counted(1); }, std::chrono::seconds(20)));
    const QStringList filed = entries(m_failed);
    ASSERT_EQ(filed.size(), 1);
    EXPECT_TRUE(filed.first().startsWith(QStringLiteral("LLL")) && filed.first().endsWith(QStringLiteral(".20250303-140509.xml")))
        << filed.first().toStdString();
    EXPECT_TRUE(entries(m_hot).isEmpty());
    // Watched anew, as at the next start: nothing is left to run.
    m_folder->setEnabled(false);
    m_folder->setEnabled(true);
    EXPECT_TRUE(waitUntil([] { return pendingCount() == 0; }));
    kova::test::processMainQueue();
    EXPECT_EQ(runs(), 1);
}

} // namespace

namespace {

// Filing moves the ticket and counts it, or leaves both alone.
TEST(JobFiling, ATicketThatCannotBeMovedStaysAndIsNotCounted)
{
    const QString root = QDir::home().filePath(QStringLiteral("filing-") + QUuid::createUuid().toString(QUuid::Id128));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/Completed")));
    const struct {
        QString folder; // none: no preference
        bool filed;
        QString whyNot;
        bool goneFirst = false; // filed by another processor meanwhile: it left, not counted here
    } cases[] = {
        {QString(), false, QStringLiteral("No Completed folder is chosen.")},
        {root + QStringLiteral("/Missing"), false, QStringLiteral("The Completed folder %1/Missing does not exist.").arg(root)},
        {root + QStringLiteral("/Completed"), true, QString()},
        {root + QStringLiteral("/Completed"), true, QString(), true},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.folder.toStdString());
        const QString ticket = root + QStringLiteral("/order.xml");
        QFile file(ticket);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(missingPackage) > 0);
        file.close();
        const auto job = KOVA_Job::instanceWithXMLObject(QUrl::fromLocalFile(ticket));
        ASSERT_TRUE(job);
        each.folder.isNull() ? defaults()->removeObjectForKey(key_kovaFolderJobsCompleted)
                             : defaults()->setURL(QUrl::fromLocalFile(each.folder), key_kovaFolderJobsCompleted);
        defaults()->setInteger(7, key_kovaProcessorJobsCompleted);
        if (each.goneFirst)
            ASSERT_TRUE(QFile::remove(ticket));
        QString whyNot;
        EXPECT_EQ(KOVA_JobFiling::fileJob(*job, {}, &whyNot), each.filed);
        EXPECT_EQ(whyNot, each.whyNot);
        EXPECT_EQ(QFileInfo::exists(ticket), !each.filed);
        EXPECT_EQ(defaults()->integerForKey(key_kovaProcessorJobsCompleted), each.filed && !each.goneFirst ? 8 : 7);
    }
    defaults()->removeObjectForKey(key_kovaFolderJobsCompleted);
}

// A freed picture-sized block must leave the process: glibc's own threshold grows past
// it once a larger block was freed, and the heap would keep it.
TEST(JobProcessorMemory, PictureSizedBlocksAreMappedOnTheirOwnAfterLargerOnesWereFreed)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator replaces the heap";
#endif
    KOVA_JobProcessor::handBackLargeBlocks();
    void* volatile larger = std::malloc(16 << 20);
    std::free(larger);
    const size_t mappedBefore = mallinfo2().hblks;
    void* volatile picture = std::malloc(8 << 20);
    const size_t mappedWhile = mallinfo2().hblks;
    std::free(picture);
    EXPECT_EQ(mappedWhile, mappedBefore + 1);
}

} // namespace

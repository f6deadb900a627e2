#include "app/processor/JobDrop.h"
#include "app/processor/JobFileActions.h"
#include "app/processor/JobMenuPlan.h"
#include "app/processor/JobPreviewDialog.h"
#include "app/processor/PendingJobsModel.h"
#include "app/processor/ProcessorStatus.h"
#include "core/foundation/KOVA_Constants.h"
#include "core/ui/Beeper.h"
#include "platform/defaults/UserDefaults.h"
#include "workflow/folders/KOVA_JobFolders.h"

#include "HostileFiles.h"
#include "JobFixtures.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QThread>
#include <QMimeData>

#include <gtest/gtest.h>

#include <thread>

using namespace kova::test;

TEST(ProcessorStatus, TitleFollowsTheSwitchAndTheRunningJob)
{
    EXPECT_EQ(ProcessorStatus::buttonTitle(false, false), "Paused");
    EXPECT_EQ(ProcessorStatus::buttonTitle(false, true), "Paused");
    EXPECT_EQ(ProcessorStatus::buttonTitle(true, false), "Idle (waiting for jobs…)");
    EXPECT_EQ(ProcessorStatus::buttonTitle(true, true), "Processing jobs…");
}

TEST(ProcessorStatus, CountersChangedOnAnotherThreadAreShownOnTheMainThread)
{
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setInteger(3, key_kovaProcessorJobsCompleted);
    int changes = 0;
    bool onMainOnly = true;
    ProcessorStatus status([&] {
        ++changes;
        onMainOnly = onMainOnly && QThread::currentThread() == qApp->thread();
    });
    EXPECT_EQ(status.jobsCompleted(), 3);
    std::thread([&] { defaults->setInteger(4, key_kovaProcessorJobsFailed); }).join();
    EXPECT_TRUE(waitUntil([&] { return status.jobsFailed() == 4; }));
    ProcessorStatus::resetJobStats();
    EXPECT_TRUE(waitUntil([&] { return status.jobsCompleted() == 0 && status.jobsFailed() == 0; }));
    EXPECT_TRUE(onMainOnly);
    EXPECT_GE(changes, 3);
}

TEST(JobMenuPlan, ActsOnTheClickedRowUnlessItIsOneOfSeveralSelected)
{
    ScratchFolder scratch;
    const auto jobs = makeBundles(scratch.path(), { "Order A", "Order B", "Order C" });
    const QUrl a = QUrl::fromLocalFile(scratch.path("Order A.kovajob"));
    const QUrl b = QUrl::fromLocalFile(scratch.path("Order B.kovajob"));
    const QUrl c = QUrl::fromLocalFile(scratch.path("Order C.kovajob"));
    struct Case {
        const char* name;
        int clicked;
        QList<int> selected;
        bool completedWanted;
        bool hasItems;
        QList<QUrl> urls;
        QString reveal;
        QString trash;
    };
    const Case cases[] {
        { "unselected row among two selected", 2, { 0, 1 }, false, true, { c }, "Reveal \"Order C\" in File Manager …", "Move \"Order C\" to the Trash …" },
        { "one of two selected", 1, { 0, 1 }, true, true, { a, b }, "Reveal \"selected items\" in File Manager …", "Move \"selected items\" to the Trash …" },
        { "the only selected row", 0, { 0 }, false, true, { a }, "Reveal \"Order A\" in File Manager …", "Move \"Order A\" to the Trash …" },
        { "outside the list", -1, { 0, 1 }, false, false, {}, "Reveal \"selected items\" in File Manager …", "Move \"selected items\" to the Trash …" },
    };
    for (const Case& expected : cases) {
        SCOPED_TRACE(expected.name);
        const JobMenuPlan plan = JobMenuPlan::make(jobs, expected.clicked, expected.selected, expected.completedWanted);
        EXPECT_EQ(plan.hasItems, expected.hasItems);
        EXPECT_EQ(plan.urls, expected.urls);
        EXPECT_EQ(plan.revealTitle(), expected.reveal);
        EXPECT_EQ(plan.trashTitle(), expected.trash);
        EXPECT_EQ(plan.completedWanted, expected.completedWanted);
    }
    EXPECT_EQ(JobMenuPlan::make(jobs, 1, { 0, 1 }, true).completedTitle(), "Move \"selected items\" to the Completed Folder …");
}

TEST(JobFileActions, AnythingButFileURLsBeepsAndLogsOnce)
{
    int beeps = 0;
    Beeper::setHook([&] { ++beeps; });
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/jobs/a.kovajob"));
    const std::pair<QVariant, bool> cases[] {
        { QVariant::fromValue(QList<QUrl> { file, file }), true },
        { QVariant(file), true },
        { QVariant(), false },
        { QVariant::fromValue(QList<QUrl> {}), false },
        { QVariant::fromValue(QList<QUrl> { file, QUrl(QStringLiteral("https://example.com/a")) }), false },
        { QVariant(QStringLiteral("/jobs/a.kovajob")), false },
    };
    int refused = 0;
    for (const auto& [represented, accepted] : cases) {
        std::optional<QList<QUrl>> urls;
        const QString logged = loggedBy([&] { urls = JobFileActions::fileURLs(represented, "-[ViewController moveToTrash:]", 7); });
        EXPECT_EQ(urls.has_value(), accepted) << represented.typeName();
        EXPECT_EQ(logged.contains("-[ViewController moveToTrash:] bad array at line 7 "), !accepted) << logged.toStdString();
        refused += accepted ? 0 : 1;
    }
    EXPECT_EQ(beeps, refused);
    Beeper::setHook(nullptr);
}

TEST(JobFileActions, MovesToCompletedNeverReplaceAndNeedAFolder)
{
    ScratchFolder scratch;
    makeBundles(scratch.path(), { "One", "Two", "Three" });
    QDir().mkpath(scratch.path("Completed/Three.kovajob"));
    writeFile(scratch.path("Completed/Three.kovajob/mine"), "kept");
    const QList<QUrl> urls { QUrl::fromLocalFile(scratch.path("One.kovajob")), QUrl::fromLocalFile(scratch.path("Three.kovajob")),
        QUrl::fromLocalFile(scratch.path("Two.kovajob")) };
    const auto defaults = platform::UserDefaults::standardUserDefaults();

    defaults->removeObjectForKey(key_kovaFolderJobsCompleted);
    const QString withoutFolder = loggedBy([&] { JobFileActions::moveToCompleted(urls); });
    EXPECT_EQ(withoutFolder.count("Failed to move file from "), 3) << withoutFolder.toStdString();
    EXPECT_TRUE(QFileInfo::exists(scratch.path("One.kovajob/job.xml")));

    defaults->setObject(scratch.path("Completed"), key_kovaFolderJobsCompleted);
    const QString logged = loggedBy([&] { JobFileActions::moveToCompleted(urls); });
    for (const char* moved : { "One", "Two" }) {
        EXPECT_EQ(readFile(scratch.path(QStringLiteral("Completed/%1.kovajob/job.xml").arg(moved))), smallTicket) << moved;
        EXPECT_FALSE(QFileInfo::exists(scratch.path(QStringLiteral("%1.kovajob").arg(moved)))) << moved;
    }
    EXPECT_EQ(readFile(scratch.path("Completed/Three.kovajob/mine")), "kept");
    EXPECT_TRUE(QFileInfo::exists(scratch.path("Three.kovajob/job.xml")));
    EXPECT_TRUE(logged.contains(QStringLiteral("Failed to move file from %1 to %2 (File exists)")
                                    .arg(scratch.path("Three.kovajob"), scratch.path("Completed/Three.kovajob"))))
        << logged.toStdString();
}

TEST(JobDrop, TakesTicketsAndBundlesFromAMovingSourceAndAnswersWhetherOneMoved)
{
    const QString pending = KOVA_JobFolders::defaultJobFolder()->jobsFolderURL().toLocalFile();
    ASSERT_TRUE(QDir().mkpath(pending));
    ScratchFolder scratch;
    makeBundles(scratch.path(), { "Dropped", "CopyOnly" });
    writeFile(scratch.path("flyer.pdf"), "%PDF-1.4");
    writeFile(scratch.path("ticket.xml"), smallTicket);
    struct Case {
        const char* name;
        QString item;
        Qt::DropActions offered;
        bool canDrop;
        bool answered;
        bool leftInPlace;
    };
    const Case cases[] {
        { "a PDF", scratch.path("flyer.pdf"), Qt::MoveAction | Qt::CopyAction, true, false, true },
        { "a bundle", scratch.path("Dropped.kovajob"), Qt::MoveAction | Qt::CopyAction, true, true, false },
        { "a copy-only source", scratch.path("CopyOnly.kovajob"), Qt::CopyAction, false, false, true },
        { "a bare XML ticket", scratch.path("ticket.xml"), Qt::MoveAction, true, false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(c.item) });
        EXPECT_EQ(JobDrop::canDrop(c.offered, &data), c.canDrop);
        EXPECT_EQ(JobDrop::acceptDrop(c.offered, &data), c.answered);
        EXPECT_EQ(QFileInfo::exists(c.item), c.leftInPlace);
    }
    EXPECT_TRUE(QFileInfo::exists(pending + "/Dropped.kovajob/job.xml"));
    // Nothing is left for the hot-folder watchers to read while the test ends.
    QDir(pending + "/Dropped.kovajob").removeRecursively();
}

TEST(PendingJobsModel, ShowsEachJobsBundleOrTicketAndReadsAgainOnReload)
{
    ScratchFolder scratch;
    auto jobs = makeBundles(scratch.path(), { "Order 1", "Order 2" });
    writeFile(scratch.path("loose.xml"), smallTicket);
    jobs << KOVA_Job::instanceWithXMLObject(scratch.path("loose.xml"));
    QList<std::shared_ptr<KOVA_Job>> source = jobs.mid(0, 1);
    PendingJobsModel model([&] { return source; });
    EXPECT_EQ(model.rowCount(), 1);
    source = jobs;
    model.reload();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(1, PendingJobsModel::NameColumn)).toString(), "Order 2.kovajob");
    EXPECT_EQ(model.data(model.index(2, PendingJobsModel::NameColumn)).toString(), "loose.xml");
    EXPECT_EQ(model.data(model.index(2, PendingJobsModel::FolderColumn)).toString(), scratch.path());
    EXPECT_EQ(model.job(3), nullptr);
}

// Arrivals and filings change rows one by one, never resetting the model: the
// selection stays on its job, and an unfiled ticket's row says so.
TEST(PendingJobsModel, RowsComeAndGoByTheirJobAndTheSelectionStays)
{
    ScratchFolder scratch;
    const auto all = makeBundles(scratch.path(), { "A", "B", "C", "D", "E" });
    QList<std::shared_ptr<KOVA_Job>> source { all[1], all[3] };
    PendingJobsModel::Unfiled unfiled;
    PendingJobsModel model([&] { return source; }, [&] { return unfiled; });
    QItemSelectionModel selection(&model);
    selection.select(model.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    const QString ticketD = all[3]->documentURL().toLocalFile();
    const struct {
        const char* change;
        QList<std::shared_ptr<KOVA_Job>> jobs;
        PendingJobsModel::Unfiled unfiled;
        int selectedRow;
    } steps[] {
        { "an arrival above", { all[0], all[1], all[3] }, {}, 2 },
        { "an arrival below", { all[0], all[1], all[3], all[4] }, {}, 2 },
        { "an arrival between", { all[0], all[1], all[2], all[3], all[4] }, {}, 3 },
        { "a filing above", { all[1], all[2], all[3], all[4] }, {}, 2 },
        { "the job read anew and left unfiled", { all[1], all[2], KOVA_Job::instanceWithXMLObject(ticketD), all[4] },
            { { ticketD, "No Completed folder is chosen." } }, 2 },
        { "a new order", { all[3], all[2], all[1] }, {}, 0 },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.change);
        source = step.jobs;
        unfiled = step.unfiled;
        model.reload();
        ASSERT_EQ(model.rowCount(), step.jobs.size());
        for (int row = 0; row < model.rowCount(); ++row)
            EXPECT_EQ(PendingJobsModel::jobURL(*model.job(row)), PendingJobsModel::jobURL(*step.jobs[row])) << row;
        const QModelIndexList selected = selection.selectedRows();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(selected.first().row(), step.selectedRow);
        const QModelIndex name = model.index(step.selectedRow, PendingJobsModel::NameColumn);
        EXPECT_EQ(model.data(name).toString(), step.unfiled.isEmpty() ? "D.kovajob" : "D.kovajob (ran, not filed)");
        EXPECT_EQ(model.data(name, Qt::ToolTipRole).toString().contains("Ran, but could not be filed: No Completed folder is chosen."),
            !step.unfiled.isEmpty());
    }
    EXPECT_EQ(resets, 0);
}

TEST(JobPreviewDialog, PreviewsPicturesAndAPdfsFirstPageAndNothingElse)
{
    ScratchFolder scratch;
    QImage large(3000, 1000, QImage::Format_RGB32);
    large.fill(Qt::red);
    ASSERT_TRUE(large.save(scratch.path("large.png")));
    writeFile(scratch.path("broken.jpg"), "not a picture");
    writeFile(scratch.path("job.xml"), smallTicket);
    struct Case {
        QString path;
        QSize size; // empty: no picture
    };
    const Case cases[] {
        { scratch.path("large.png"), QSize(720, 240) },
        { QStringLiteral(KOVA_EXAMPLE_PDF), QSize() },
        { scratch.path("broken.jpg"), QSize() },
        { scratch.path("job.xml"), QSize() },
        { scratch.path(""), QSize() },
    };
    for (const Case& c : cases) {
        const QImage shown = JobPreviewDialog::picture(c.path);
        if (c.path.endsWith(".pdf")) {
            EXPECT_FALSE(shown.isNull());
            EXPECT_EQ(std::max(shown.width(), shown.height()), JobPreviewDialog::previewSide);
        } else {
            EXPECT_EQ(shown.isNull() ? QSize() : shown.size(), c.size) << c.path.toStdString();
        }
    }
}

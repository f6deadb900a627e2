#include "core/queues/ZORVAK_FileEvent.h"

#include "StandardErrorCapture.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
namespace FileEventFlag = platform::FileEventFlag;

namespace {

struct Call {
    QStringList paths;
    ZORVAK_FileEvent::Flags flags;
    std::chrono::steady_clock::time_point at;
    QString queueLabel;

    quint32 flagsOf(const QString& path) const
    {
        const qsizetype index = paths.indexOf(path);
        return flags && index >= 0 ? flags->value(index) : 0;
    }
};

// Records the calls of a watcher's block. The block holds it shared, so that a
// call still running when a test ends touches nothing destroyed.
class Recorder {
public:
    static std::shared_ptr<Recorder> listenTo(ZORVAK_FileEvent& watcher)
    {
        auto recorder = std::make_shared<Recorder>();
        watcher.setEventBlock([recorder](const QStringList& paths, const ZORVAK_FileEvent::Flags& flags) {
            recorder->record(paths, flags);
        });
        return recorder;
    }

    void record(const QStringList& paths, const ZORVAK_FileEvent::Flags& flags)
    {
        const auto* queue = platform::DispatchQueue::current();
        std::lock_guard lock(m_mutex);
        m_calls.push_back({paths, flags, std::chrono::steady_clock::now(), queue ? queue->label() : QString()});
    }

    std::vector<Call> calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    size_t count() const { return calls().size(); }

    // The first call from index `from` on that names `path`, once it arrived.
    std::optional<Call> waitForPath(const QString& path, size_t from) const
    {
        std::optional<Call> found;
        kova::test::waitUntil([&] {
            const auto all = calls();
            for (size_t i = from; i < all.size() && !found; ++i)
                if (all[i].paths.contains(path))
                    found = all[i];
            return found.has_value();
        });
        return found;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// Runs what a watcher's event queue holds now and what that hands on to it: a batch its
// stream delivered, then the call of the block the batch queued. Once a probe has reported
// a change, this makes sure a watcher that would have reported the same change earlier has
// done so by now.
void drain(const ZORVAK_FileEvent::Queue& queue)
{
    queue->sync([] {});
    queue->sync([] {});
}

} // namespace

class FileEventTest : public ::testing::Test {
protected:
    QString folder(const QString& relative)
    {
        const QString path = root + QLatin1Char('/') + relative;
        QDir().mkpath(path);
        return path;
    }
    QString path(const QString& relative) const { return root + QLatin1Char('/') + relative; }
    static void write(const QString& file, const QByteArray& data = "data", QIODevice::OpenMode mode = QIODevice::WriteOnly)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(mode)) << file.toStdString();
        out.write(data);
    }
    // Starts the watcher and waits for its first call, which names the watched paths.
    static std::shared_ptr<Recorder> start(ZORVAK_FileEvent& watcher)
    {
        auto recorder = Recorder::listenTo(watcher);
        watcher.setRun(true);
        EXPECT_TRUE(kova::test::waitUntil([&] { return recorder->count() == 1; }));
        return recorder;
    }

    QTemporaryDir scratch{kova::test::sandboxRoot() + QStringLiteral("/watch-XXXXXX")};
    const QString root = scratch.path();
};

TEST_F(FileEventTest, StartReportsTheFolderOnceThenEachChangedFolderAfterTheLatency)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    ZORVAK_FileEvent watcher(QStringList{jobs}, 0.2);
    EXPECT_FALSE(watcher.isRunning());
    const auto recorder = start(watcher);
    EXPECT_TRUE(watcher.isRunning());
    const Call first = recorder->calls().front();
    EXPECT_EQ(first.paths, QStringList{jobs});
    EXPECT_FALSE(first.flags.has_value());
    EXPECT_EQ(first.queueLabel, QStringLiteral("ZORVAK_FileEvent.") + jobs);

    const auto changedAt = std::chrono::steady_clock::now();
    write(jobs + QStringLiteral("/ticket.xml"));
    const auto change = recorder->waitForPath(jobs, 1);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->paths, QStringList{jobs}); // the folder, without a trailing slash
    EXPECT_TRUE(change->flagsOf(jobs) & FileEventFlag::ItemCreated);
    EXPECT_FALSE(change->flagsOf(jobs) & FileEventFlag::itemTypes); // folder events carry no item type
    EXPECT_GE(change->at - changedAt, 200ms);                      // collected for the latency
    EXPECT_LT(change->at - changedAt, 5s);
}

TEST_F(FileEventTest, FoldersBelowAreFollowedAsTheyComeAndGo)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    ZORVAK_FileEvent watcher(QStringList{jobs}, 0.05);
    const auto recorder = start(watcher);

    // Made after the start, filled at once: the file may come before the folder's watch.
    const QString deep = folder(QStringLiteral("Jobs/a/b/c"));
    write(deep + QStringLiteral("/one"));
    EXPECT_TRUE(recorder->waitForPath(deep, 1));
    size_t from = recorder->count();
    const QString sub = folder(QStringLiteral("Jobs/sub"));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    write(sub + QStringLiteral("/two"));
    EXPECT_TRUE(recorder->waitForPath(sub, 1));

    // Removed and made again under the same name: watched again, not through a stale watch.
    from = recorder->count();
    ASSERT_TRUE(QDir(path(QStringLiteral("Jobs/a"))).removeRecursively());
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    from = recorder->count();
    folder(QStringLiteral("Jobs/a/b/c"));
    write(deep + QStringLiteral("/again"));
    EXPECT_TRUE(recorder->waitForPath(deep, from));

    // Renamed inside the tree: reported under its new name only.
    const QString renamed = path(QStringLiteral("Jobs/renamed"));
    from = recorder->count();
    ASSERT_TRUE(QDir().rename(sub, renamed));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    from = recorder->count();
    write(renamed + QStringLiteral("/four"));
    ASSERT_TRUE(recorder->waitForPath(renamed, from));
    EXPECT_FALSE(recorder->calls().back().paths.contains(sub));
    from = recorder->count();
    ASSERT_TRUE(QDir().rename(renamed, sub));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));

    // Moved out of the watched tree: what happens there later is not reported.
    const QString outside = folder(QStringLiteral("Outside")) + QStringLiteral("/sub");
    from = recorder->count();
    ASSERT_TRUE(QDir().rename(sub, outside));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    from = recorder->count();
    write(outside + QStringLiteral("/three"));
    write(jobs + QStringLiteral("/probe"));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    const auto calls = recorder->calls();
    for (size_t i = from; i < calls.size(); ++i)
        EXPECT_FALSE(calls[i].paths.contains(sub)) << calls[i].paths.join(u' ').toStdString();
}

TEST_F(FileEventTest, WatchingAFileReportsChangedItemsWithTheirType)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    const QString settings = jobs + QStringLiteral("/settings.plist");
    write(settings);
    ZORVAK_FileEvent watcher(QStringList{jobs, settings}, 0.05);
    const auto recorder = start(watcher);

    write(jobs + QStringLiteral("/new.xml"));
    const auto created = recorder->waitForPath(jobs + QStringLiteral("/new.xml"), 1);
    ASSERT_TRUE(created);
    EXPECT_EQ(created->flagsOf(jobs + QStringLiteral("/new.xml")) & (FileEventFlag::ItemCreated | FileEventFlag::ItemIsFile),
              FileEventFlag::ItemCreated | FileEventFlag::ItemIsFile);
    EXPECT_FALSE(created->paths.contains(jobs));

    folder(QStringLiteral("Jobs/bundle.kovajob"));
    const auto made = recorder->waitForPath(jobs + QStringLiteral("/bundle.kovajob"), 1);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->flagsOf(jobs + QStringLiteral("/bundle.kovajob")), FileEventFlag::ItemCreated | FileEventFlag::ItemIsDir);

    const size_t from = recorder->count();
    write(settings, "more", QIODevice::Append);
    const auto modified = recorder->waitForPath(settings, from);
    ASSERT_TRUE(modified);
    EXPECT_TRUE(modified->flagsOf(settings) & FileEventFlag::ItemModified);
}

TEST_F(FileEventTest, WatchedFileIsFollowedThroughAtomicReplacement)
{
    // The file alone is watched, through its folder; its neighbours are not reported.
    const QString templates = folder(QStringLiteral("Templates"));
    const QString file = templates + QStringLiteral("/card.xml");
    write(file);
    ZORVAK_FileEvent watcher(QStringList{file}, 0.05);
    const auto recorder = start(watcher);

    const QString temporary = templates + QStringLiteral("/.card.xml.tmp");
    for (int round = 0; round < 2; ++round) {
        const size_t from = recorder->count();
        write(temporary, QByteArray::number(round));
        ASSERT_EQ(::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(file).constData()), 0);
        const auto replaced = recorder->waitForPath(file, from);
        ASSERT_TRUE(replaced) << "round " << round;
        EXPECT_TRUE(replaced->flagsOf(file) & FileEventFlag::ItemRenamed);
    }
    for (const Call& call : recorder->calls())
        EXPECT_FALSE(call.paths.contains(temporary));
}

TEST_F(FileEventTest, TwoFoldersReportTheirOwnPathsAndAMissingPathSwitchesNothingOn)
{
    const QString first = folder(QStringLiteral("First"));
    const QString second = folder(QStringLiteral("Second"));
    const QString missing = first + QStringLiteral("/later.txt");
    ZORVAK_FileEvent watcher(QStringList{missing, first, second}, 0.05);
    const auto recorder = start(watcher);
    EXPECT_EQ(recorder->calls().front().paths, (QStringList{missing, first, second}));

    write(first + QStringLiteral("/a"));
    EXPECT_TRUE(recorder->waitForPath(first, 1));
    write(second + QStringLiteral("/b"));
    EXPECT_TRUE(recorder->waitForPath(second, 1));
    for (const Call& call : recorder->calls())
        EXPECT_FALSE(call.paths.contains(first + QStringLiteral("/a")) || call.paths.contains(second + QStringLiteral("/b")));

    // The path that was missing is reported once it appears.
    const size_t from = recorder->count();
    write(missing);
    const auto appeared = recorder->waitForPath(missing, from);
    ASSERT_TRUE(appeared);
    EXPECT_TRUE(appeared->flagsOf(missing) & FileEventFlag::RootChanged);
}

TEST_F(FileEventTest, ChangesWithinTheLatencyArriveAsOneBatch)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    const QString marker = jobs + QStringLiteral("/marker");
    write(marker);
    ZORVAK_FileEvent watcher(QStringList{jobs, marker}, 0.3);
    const auto recorder = start(watcher);

    const QString a = jobs + QStringLiteral("/a.xml");
    const QString b = jobs + QStringLiteral("/b.xml");
    write(a);
    write(a, "appended", QIODevice::Append);
    write(b, {});
    ASSERT_TRUE(recorder->waitForPath(b, 1));
    // The marker, changed after them in the same stream, is reported after all they brought.
    write(marker, "probe", QIODevice::Append);
    ASSERT_TRUE(recorder->waitForPath(marker, 2));
    const auto calls = recorder->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].paths, QStringList{marker});
    EXPECT_EQ(calls[1].paths, (QStringList{a, b}));
    ASSERT_TRUE(calls[1].flags);
    EXPECT_EQ(calls[1].flags->size(), 2);
    const quint32 createdAndModified = FileEventFlag::ItemCreated | FileEventFlag::ItemModified | FileEventFlag::ItemIsFile;
    EXPECT_EQ(calls[1].flagsOf(a) & createdAndModified, createdAndModified);
    EXPECT_TRUE(calls[1].flagsOf(b) & FileEventFlag::ItemCreated);
}

TEST_F(FileEventTest, ASlowWriterIsReportedAgainWhenItClosesTheFile)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    const QString probes = folder(QStringLiteral("Probes"));
    ZORVAK_FileEvent watcher(QStringList{jobs, probes}, 0.05);
    const auto recorder = start(watcher);

    QFile ticket(jobs + QStringLiteral("/ticket.xml"));
    ASSERT_TRUE(ticket.open(QIODevice::WriteOnly));
    for (const char* piece : {"<data>", "</data>"}) {
        const size_t from = recorder->count();
        ticket.write(piece);
        ticket.flush();
        ASSERT_TRUE(recorder->waitForPath(jobs, from)) << piece;
    }
    // The writer pauses: a change in the other folder, later in the same stream, is
    // reported after whatever the writes brought.
    write(probes + QStringLiteral("/probe"));
    ASSERT_TRUE(recorder->waitForPath(probes, 1));
    const size_t from = recorder->count();
    ticket.close();
    const auto closed = recorder->waitForPath(jobs, from);
    ASSERT_TRUE(closed);
    EXPECT_TRUE(closed->flagsOf(jobs) & FileEventFlag::ItemModified);
}

TEST_F(FileEventTest, EventQueueIsMadeOnceAndMovesKeepTheWatcherRunning)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    ZORVAK_FileEvent watcher(jobs);
    const auto queue = watcher.eventQueue();
    EXPECT_EQ(watcher.eventQueue(), queue);
    EXPECT_EQ(queue->label(), QStringLiteral("ZORVAK_FileEvent.") + jobs);
    watcher.setEventQueue(nullptr); // the default queue already: nothing changes
    EXPECT_EQ(watcher.eventQueue(), queue);

    const auto recorder = start(watcher);
    const auto shared = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("owner"));
    watcher.setEventQueue(shared);
    // Stopped on the old queue and started again on the new one: the paths are reported again.
    ASSERT_TRUE(kova::test::waitUntil([&] { return recorder->count() == 2; }));
    EXPECT_EQ(recorder->calls()[1].queueLabel, QStringLiteral("owner"));
    EXPECT_FALSE(recorder->calls()[1].flags);
    EXPECT_EQ(watcher.eventQueue(), shared);
    EXPECT_TRUE(watcher.isRunning());

    watcher.setEventQueue(nullptr);
    ASSERT_TRUE(kova::test::waitUntil([&] { return recorder->count() == 3; }));
    EXPECT_NE(watcher.eventQueue(), shared);
    EXPECT_EQ(watcher.eventQueue()->label(), QStringLiteral("ZORVAK_FileEvent.") + jobs);
    write(jobs + QStringLiteral("/after-move"));
    const auto change = recorder->waitForPath(jobs, 3);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->queueLabel, QStringLiteral("ZORVAK_FileEvent.") + jobs);
}

TEST_F(FileEventTest, WatchedFolderRemovedAndMadeAgainIsWatchedAgain)
{
    const QString jobs = folder(QStringLiteral("Share/Processor/Jobs"));
    ZORVAK_FileEvent watcher(QStringList{jobs}, 0.05);
    const auto recorder = start(watcher);

    ASSERT_TRUE(QDir(jobs).removeRecursively());
    const auto removed = recorder->waitForPath(jobs, 1);
    ASSERT_TRUE(removed);
    EXPECT_TRUE(removed->flagsOf(jobs) & FileEventFlag::RootChanged);
    EXPECT_TRUE(removed->flagsOf(jobs) & FileEventFlag::ItemRemoved);
    size_t from = recorder->count();
    folder(QStringLiteral("Share/Processor/Jobs"));
    const auto made = recorder->waitForPath(jobs, from);
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->flagsOf(jobs) & FileEventFlag::ItemCreated);
    from = recorder->count();
    write(jobs + QStringLiteral("/ticket.xml"));
    EXPECT_TRUE(recorder->waitForPath(jobs, from));

    // Its ancestors too: it is waited for wherever the remaining path ends.
    from = recorder->count();
    ASSERT_TRUE(QDir(path(QStringLiteral("Share"))).removeRecursively());
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    from = recorder->count();
    folder(QStringLiteral("Share/Processor/Jobs/nested"));
    ASSERT_TRUE(recorder->waitForPath(jobs, from));
    from = recorder->count();
    write(jobs + QStringLiteral("/nested/ticket.xml"));
    EXPECT_TRUE(recorder->waitForPath(jobs + QStringLiteral("/nested"), from));
}

TEST_F(FileEventTest, StoppingEndsDeliveryAndStartingAgainReportsThePathsAgain)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    ZORVAK_FileEvent watcher(QStringList{jobs}, 0.05);
    // Collects for longer: reports a change after the watcher would have.
    ZORVAK_FileEvent probe(QStringList{jobs}, 0.2);
    const auto recorder = start(watcher);
    const auto probed = start(probe);

    watcher.setRun(false);
    ASSERT_TRUE(kova::test::waitUntil([&] { return !watcher.isRunning(); }));
    write(jobs + QStringLiteral("/while-stopped"));
    ASSERT_TRUE(probed->waitForPath(jobs, 1));
    drain(watcher.eventQueue());
    EXPECT_EQ(recorder->count(), 1u);

    watcher.setRun(true);
    ASSERT_TRUE(kova::test::waitUntil([&] { return recorder->count() == 2; }));
    EXPECT_FALSE(recorder->calls()[1].flags);
    write(jobs + QStringLiteral("/after-restart"));
    EXPECT_TRUE(recorder->waitForPath(jobs, 2));
}

TEST_F(FileEventTest, DestroyedWatcherNeverCallsItsBlockAgain)
{
    const QString jobs = folder(QStringLiteral("Jobs"));
    ZORVAK_FileEvent probe(QStringList{jobs}, 0.05);
    const auto probed = start(probe);

    // Destroyed while a batch is being collected.
    auto pending = std::make_unique<ZORVAK_FileEvent>(QStringList{jobs}, 0.3);
    const auto pendingQueue = pending->eventQueue();
    const auto recorder = start(*pending);
    write(jobs + QStringLiteral("/one"));
    ASSERT_TRUE(probed->waitForPath(jobs, 1));
    pending.reset();
    // As long a latency, started now: it reports a change made now after the batch of the
    // destroyed watcher would have been delivered.
    ZORVAK_FileEvent late(QStringList{jobs}, 0.3);
    const auto lateProbed = start(late);
    write(jobs + QStringLiteral("/after"));
    ASSERT_TRUE(lateProbed->waitForPath(jobs, 1));
    drain(pendingQueue);
    EXPECT_EQ(recorder->count(), 1u);

    // Destroyed by its own block, while it runs on the event queue.
    struct Owner {
        std::mutex mutex;
        std::unique_ptr<ZORVAK_FileEvent> watcher;
        std::atomic<bool> started = false;
        std::atomic<int> changes = 0;
    };
    auto owner = std::make_shared<Owner>();
    owner->watcher = std::make_unique<ZORVAK_FileEvent>(QStringList{jobs}, 0.05);
    const auto ownerQueue = owner->watcher->eventQueue();
    owner->watcher->setEventBlock([owner](const QStringList&, const ZORVAK_FileEvent::Flags& flags) {
        if (!flags) {
            owner->started = true;
            return;
        }
        ++owner->changes;
        std::unique_ptr<ZORVAK_FileEvent> dropped;
        {
            std::lock_guard lock(owner->mutex);
            dropped = std::move(owner->watcher);
        }
    });
    {
        std::lock_guard lock(owner->mutex);
        owner->watcher->setRun(true);
    }
    ASSERT_TRUE(kova::test::waitUntil([&] { return owner->started.load(); }));
    size_t from = lateProbed->count();
    write(jobs + QStringLiteral("/two"));
    ASSERT_TRUE(kova::test::waitUntil([&] { return owner->changes == 1; }));
    ASSERT_TRUE(lateProbed->waitForPath(jobs, from));
    from = lateProbed->count();
    write(jobs + QStringLiteral("/three"));
    ASSERT_TRUE(lateProbed->waitForPath(jobs, from));
    drain(ownerQueue);
    EXPECT_EQ(owner->changes.load(), 1);
    std::lock_guard lock(owner->mutex);
    EXPECT_FALSE(owner->watcher);
}

TEST_F(FileEventTest, StartingOnAMissingFolderFailsAndStaysStopped)
{
    const QString missing = path(QStringLiteral("Nowhere/Jobs"));
    ZORVAK_FileEvent watcher(missing);
    const auto recorder = Recorder::listenTo(watcher);
    kova::test::StandardErrorCapture log;
    watcher.setRun(true);
    watcher.eventQueue()->sync([] {});
    watcher.eventQueue()->sync([] {}); // a first call would have been queued by now
    const QString text = log.text();
    EXPECT_FALSE(watcher.isRunning());
    EXPECT_EQ(recorder->count(), 0u);
    EXPECT_TRUE(text.contains(QStringLiteral("FAILED to start monitoring (\"%1\")").arg(missing))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("handleFileEventpaths")));
}

TEST_F(FileEventTest, DestructorWaitsForTheBlockRunningOnAnotherThread)
{
    // The block (here the start's report) is running when the destruction begins,
    // and then waits a little for the destructor to return: a destructor that did
    // not wait for the block would return first, and the block's flag change after.
    const QString jobs = folder(QStringLiteral("Jobs"));
    for (int round = 0; round < 10; ++round) {
        struct Progress {
            std::atomic<bool> entered = false;
            std::atomic<bool> destroying = false;
            std::atomic<bool> destroyed = false;
            std::atomic<bool> finished = false;
        };
        auto progress = std::make_shared<Progress>();
        auto watcher = std::make_unique<ZORVAK_FileEvent>(QStringList{jobs}, 0.05);
        const auto queue = watcher->eventQueue();
        watcher->setEventBlock([progress](const QStringList&, const ZORVAK_FileEvent::Flags&) {
            progress->entered = true;
            while (!progress->destroying)
                std::this_thread::yield();
            const auto deadline = std::chrono::steady_clock::now() + 20ms;
            while (!progress->destroyed && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            progress->finished = true;
        });
        watcher->setRun(true);
        ASSERT_TRUE(kova::test::waitUntil([&] { return progress->entered.load(); }));
        progress->destroying = true;
        watcher.reset();
        const bool finishedWhenDestroyed = progress->finished;
        progress->destroyed = true;
        queue->sync([] {});
        ASSERT_EQ(progress->finished.load(), finishedWhenDestroyed) << "round " << round;
    }
}

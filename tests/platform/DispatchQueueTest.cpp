#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

TEST(DispatchQueue, SerialQueueRunsInOrderAndKnowsItself)
{
    auto queue = DispatchQueue::createSerial(QStringLiteral("test.serial"));
    EXPECT_EQ(queue->label(), QStringLiteral("test.serial"));
    std::vector<int> order;
    std::atomic<bool> sawItself = true;
    for (int i = 0; i < 1000; ++i)
        queue->async([&, i, raw = queue.get()] {
            order.push_back(i);
            if (DispatchQueue::current() != raw)
                sawItself = false;
        });
    queue->sync([] {});
    ASSERT_EQ(order.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(sawItself);
}

TEST(DispatchQueue, SyncFromInsideItsOwnQueueRunsAtOnce)
{
    auto queue = DispatchQueue::createSerial(QStringLiteral("test.reentrant"));
    bool inner = false;
    queue->sync([&] { queue->sync([&] { inner = true; }); });
    EXPECT_TRUE(inner);
}

TEST(DispatchQueue, SpecificValuesBelongToTheRunningQueue)
{
    static const char key = 0;
    int value = 7;
    auto queue = DispatchQueue::createSerial();
    queue->setSpecific(&key, &value);
    void* seen = nullptr;
    queue->sync([&] { seen = DispatchQueue::currentSpecific(&key); });
    EXPECT_EQ(seen, &value);
    EXPECT_EQ(DispatchQueue::currentSpecific(&key), nullptr);
}

TEST(DispatchQueue, GlobalQueuesByClass)
{
    EXPECT_EQ(DispatchQueue::global(25), DispatchQueue::global(QoS::UserInitiated));
    EXPECT_EQ(DispatchQueue::global(26), DispatchQueue::global(QoS::UserInitiated));
    EXPECT_EQ(DispatchQueue::global(0), DispatchQueue::global(QoS::Default));
    EXPECT_NE(DispatchQueue::global(33), DispatchQueue::global(21));
    EXPECT_EQ(DispatchQueue::global(21)->kind(), DispatchQueue::Kind::Global);
}

TEST(DispatchQueue, GroupOfManyBlocksOnGlobalQueueDrains)
{
    auto group = DispatchGroup::create();
    std::atomic<int> ran = 0;
    auto global = DispatchQueue::global(QoS::Default);
    for (int i = 0; i < 10000; ++i)
        group->async(global, [&] {
            ++ran;
            EXPECT_EQ(DispatchQueue::current(), global.get());
        });
    EXPECT_TRUE(group->wait(30s));
    EXPECT_EQ(ran, 10000);
}

// Every worker blocks in a synchronous run on one serial queue whose block in turn
// waits for more global work: the pool must grow instead of dead-locking.
TEST(DispatchQueue, NestedSyncsFromBusyGlobalWorkersDoNotDeadlock)
{
    auto serial = DispatchQueue::createSerial(QStringLiteral("test.funnel"));
    auto global = DispatchQueue::global(QoS::UserInitiated);
    auto outer = DispatchGroup::create();
    std::atomic<int> finished = 0;
    const int blocks = 4 * int(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 0; i < blocks; ++i)
        outer->async(global, [&] {
            serial->sync([&] {
                auto inner = DispatchGroup::create();
                inner->async(global, [] {});
                inner->wait();
            });
            ++finished;
        });
    EXPECT_TRUE(outer->wait(60s));
    EXPECT_EQ(finished, blocks);
}

TEST(DispatchQueue, GroupNotifyAndTimeouts)
{
    auto group = DispatchGroup::create();
    auto queue = DispatchQueue::createSerial();
    std::atomic<bool> notified = false;
    group->enter();
    group->notify(queue, [&] { notified = true; });
    EXPECT_FALSE(group->wait(10ms));
    queue->sync([] {});
    EXPECT_FALSE(notified);
    group->leave();
    EXPECT_TRUE(group->wait(1s));
    EXPECT_TRUE(kova::test::waitUntil([&] { return notified.load(); }));
    group->leave(); // unbalanced: reported, never below zero
    EXPECT_TRUE(group->wait(0ns));
}

TEST(DispatchQueue, SemaphoreCountsAndTimesOut)
{
    DispatchSemaphore semaphore(1);
    EXPECT_TRUE(semaphore.wait(0ns));
    EXPECT_FALSE(semaphore.wait(10ms));
    std::thread signaller([&] { semaphore.signal(); });
    EXPECT_TRUE(semaphore.wait(10s));
    signaller.join();
}

TEST(DispatchQueue, MainQueueIsTheEventLoop)
{
    auto main = DispatchQueue::main();
    EXPECT_EQ(DispatchQueue::current(), main.get());
    bool ran = false;
    main->async([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(kova::test::waitUntil([&] { return ran; }));

    std::atomic<bool> syncReturned = false;
    std::atomic<QThread*> ranOn = nullptr;
    auto worker = DispatchQueue::createSerial();
    worker->async([&] {
        main->sync([&] { ranOn = QThread::currentThread(); });
        syncReturned = true;
    });
    EXPECT_TRUE(kova::test::waitUntil([&] { return syncReturned.load(); }));
    EXPECT_EQ(ranOn.load(), QThread::currentThread());
    main->sync([] {}); // from the main thread itself: at once
}

namespace {
const char earlyBlockChildVariable[] = "KOVA_MAIN_QUEUE_EARLY_BLOCK_CHILD";
std::atomic<bool> earlyBlockRanOnMainThread = false;

// In the child of the test below: queues a block before main() has made the
// application object.
const bool earlyBlockQueued = [] {
    if (qEnvironmentVariableIsSet(earlyBlockChildVariable))
        DispatchQueue::main()->async([] { earlyBlockRanOnMainThread = DispatchQueue::current() == DispatchQueue::main().get(); });
    return true;
}();
} // namespace

// Runs only as the child of the test below.
TEST(MainQueueStartChild, RunsTheBlockQueuedBeforeTheApplicationObject)
{
    if (!qEnvironmentVariableIsSet(earlyBlockChildVariable))
        GTEST_SKIP() << "runs as the child of MainQueueStart";
    EXPECT_TRUE(kova::test::waitUntil([] { return earlyBlockRanOnMainThread.load(); }));
}

TEST(MainQueueStart, BlockQueuedBeforeTheApplicationObjectRunsOnceTheLoopRuns)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(earlyBlockChildVariable), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=MainQueueStartChild.*")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
}

class DispatchAfter : public ::testing::Test {
protected:
    void SetUp() override { DispatchClock::setCurrent(clock); }
    void TearDown() override { DispatchClock::setCurrent(nullptr); }
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST_F(DispatchAfter, RunsWhenTheClockReachesTheDeadlineInOrder)
{
    auto queue = DispatchQueue::createSerial();
    std::vector<int> order;
    queue->after(2s, [&] { order.push_back(2); });
    queue->after(1s, [&] { order.push_back(1); });
    queue->after(-5s, [&] { order.push_back(0); });
    EXPECT_TRUE(kova::test::waitUntil([&] {
        bool first = false;
        queue->sync([&] { first = order.size() == 1; });
        return first;
    }));
    clock->advance(999ms);
    queue->sync([] {});
    EXPECT_EQ(order, std::vector<int>({0}));
    clock->advance(1ms);
    queue->sync([] {});
    EXPECT_EQ(order, std::vector<int>({0, 1}));
    clock->advance(5s);
    queue->sync([] {});
    EXPECT_EQ(order, std::vector<int>({0, 1, 2}));
}

TEST(DispatchAfterSystemClock, ShortDelayRunsOnTheRealClock)
{
    std::atomic<bool> ran = false;
    DispatchQueue::createSerial()->after(5ms, [&] { ran = true; });
    EXPECT_TRUE(kova::test::waitUntil([&] { return ran.load(); }));
}

// Workers take several blocks at once from a deep backlog. A block that waits for a
// block taken with it must not wait forever: the worker hands the rest back when it
// blocks.
TEST(DispatchQueue, ABlockWaitingForOneSubmittedRightAfterItEnds)
{
    constexpr int pairs = 2000;
    const auto queue = DispatchQueue::global();
    const auto all = DispatchGroup::create();
    for (int i = 0; i < pairs; ++i) {
        const auto awaited = DispatchGroup::create();
        awaited->enter();
        all->async(queue, [awaited] { awaited->wait(); });
        all->async(queue, [awaited] { awaited->leave(); });
    }
    EXPECT_TRUE(all->wait(20s));
}

// A wait inside a wait (a caller marking its own wait as blocking) counts as one
// blocked worker: counted twice, the pool would think fewer workers run than there
// are and start none for the work the waiters wait for.
TEST(DispatchQueue, NestedBlockingCountsOnceSoWaitersStillGetWorkers)
{
    const auto queue = DispatchQueue::global();
    const auto all = DispatchGroup::create();
    const auto release = DispatchGroup::create();
    release->enter();
    const auto started = std::make_shared<std::atomic<int>>(0);
    const int waiters = 2 * int(std::thread::hardware_concurrency());
    for (int i = 0; i < waiters; ++i) {
        // One at a time, each waiting before the next arrives.
        all->async(queue, [release, started] {
            BlockingScope outer;
            ++*started;
            release->wait();
        });
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (started->load() <= i && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (started->load() <= i) {
            release->leave();
            FAIL() << "waiter " << i << " never started";
        }
    }
    queue->async([release] { release->leave(); });
    EXPECT_TRUE(all->wait(20s));
}

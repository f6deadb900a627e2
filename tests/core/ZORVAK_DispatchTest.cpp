#include "core/queues/ZORVAK_Dispatch.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>

using namespace std::chrono_literals;

TEST(ZORVAK_Dispatch, SyncWithoutQueueRunsInTheCaller)
{
    QThread* ranOn = nullptr;
    ZORVAK_Dispatch::performSyncOnQueue(nullptr, [&] { ranOn = QThread::currentThread(); });
    EXPECT_EQ(ranOn, QThread::currentThread());
    bool inline_ = false;
    ZORVAK_Dispatch::performInlineOnQueue(nullptr, [&] { inline_ = true; });
    EXPECT_TRUE(inline_);
}

TEST(ZORVAK_Dispatch, TaggedQueueRecognisesItselfAndOthersDispatch)
{
    auto first = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("first"));
    auto second = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("second"));
    QString innerLabel, otherLabel;
    bool ranInline = false;
    first->sync([&] {
        ZORVAK_Dispatch::performSyncOnQueue(first, [&] { innerLabel = platform::DispatchQueue::current()->label(); });
        ZORVAK_Dispatch::performSyncOnQueue(second, [&] { otherLabel = platform::DispatchQueue::current()->label(); });
        bool flag = false;
        ZORVAK_Dispatch::performInlineOnQueue(first, [&] { flag = true; });
        ranInline = flag;
    });
    EXPECT_EQ(innerLabel, QStringLiteral("first"));
    EXPECT_EQ(otherLabel, QStringLiteral("second"));
    EXPECT_TRUE(ranInline);

    std::atomic<bool> asyncRan = false;
    ZORVAK_Dispatch::performInlineOnQueue(second, [&] { asyncRan = true; });
    second->sync([] {});
    EXPECT_TRUE(asyncRan);
}

TEST(ZORVAK_Dispatch, UntaggedQueueIsNotRecognised)
{
    // A queue not made here carries no identity; asking for it from inside still
    // must not dead-lock, the platform queue runs its own synchronous work at once.
    auto plain = platform::DispatchQueue::createSerial();
    bool ran = false;
    plain->sync([&] { ZORVAK_Dispatch::performSyncOnQueue(plain, [&] { ran = true; }); });
    EXPECT_TRUE(ran);
}

TEST(ZORVAK_Dispatch, MainQueueHelpers)
{
    EXPECT_TRUE(ZORVAK_Dispatch::isMainQueue());
    bool onMain = true;
    ZORVAK_Dispatch::dispatchQueueSerial()->sync([&] { onMain = ZORVAK_Dispatch::isMainQueue(); });
    EXPECT_FALSE(onMain);

    bool ran = false;
    ZORVAK_Dispatch::performAsyncOnMainQueue([&] { ran = true; });
    EXPECT_FALSE(ran); // asynchronous even from the main queue
    EXPECT_TRUE(kova::test::waitUntil([&] { return ran; }));

    bool syncRan = false;
    ZORVAK_Dispatch::performSyncOnMainQueue([&] { syncRan = true; });
    EXPECT_TRUE(syncRan);

    std::atomic<bool> fromWorker = false;
    ZORVAK_Dispatch::performAsyncGlobal([&] {
        bool main = false;
        ZORVAK_Dispatch::performSyncOnMainQueue([&] { main = ZORVAK_Dispatch::isMainQueue(); });
        fromWorker = main;
    });
    EXPECT_TRUE(kova::test::waitUntil([&] { return fromWorker.load(); }));
}

TEST(ZORVAK_Dispatch, GlobalHelpersUseTheirClasses)
{
    std::atomic<platform::DispatchQueue*> seen = nullptr;
    ZORVAK_Dispatch::performAsyncGlobalUserInitiated([&] { seen = platform::DispatchQueue::current(); });
    EXPECT_TRUE(kova::test::waitUntil([&] { return seen.load() != nullptr; }));
    EXPECT_EQ(seen.load(), ZORVAK_Dispatch::dispatchQueueGlobalWithQOS(25).get());
    EXPECT_EQ(ZORVAK_Dispatch::dispatchQueueGlobal(), platform::DispatchQueue::global(21));
}

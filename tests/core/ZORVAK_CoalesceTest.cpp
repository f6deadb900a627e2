#include "core/queues/ZORVAK_Coalesce.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

using namespace std::chrono_literals;

// Drives the coalescing on a manual clock: every step lets the counting queue and
// the target queue finish what they were handed, so the tests never sleep.
class Coalesce : public ::testing::Test {
protected:
    void SetUp() override { platform::DispatchClock::setCurrent(clock); }
    void TearDown() override
    {
        clock->advance(1h); // let every pending release of this test run out
        settle();
        platform::DispatchClock::setCurrent(nullptr);
    }

    void settle()
    {
        ZORVAK_Coalesce::coalescingQueue()->sync([] {});
        target->sync([] {});
    }
    void request(qint64 when, double delay, int tag)
    {
        ZORVAK_Coalesce::runOnceForKeyWhen(key, target, delay, when, [this, tag] { runs.push_back({tag, clock->now()}); });
        settle();
    }
    void advanceTo(std::chrono::milliseconds at)
    {
        clock->advance(start + at - clock->now());
        settle();
    }

    struct Run {
        int tag;
        std::chrono::nanoseconds at;
        bool operator==(const Run&) const = default;
    };
    Run run(int tag, std::chrono::milliseconds at) const { return {tag, start + at}; }

    const std::chrono::nanoseconds start = 1000s;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(start);
    ZORVAK_Coalesce::Queue target = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("coalesce.target"));
    QString key = QStringLiteral("coalesce.key");
    std::vector<Run> runs; // touched only on the target queue, read after settle()
};

TEST_F(Coalesce, AfterWaitingRunsOnceAfterTheLastRequest)
{
    request(ZORVAK_Coalesce::trailingRun, 0.5, 1);
    advanceTo(300ms);
    request(ZORVAK_Coalesce::trailingRun, 0.5, 2);
    advanceTo(600ms);
    request(ZORVAK_Coalesce::trailingRun, 0.5, 3);
    advanceTo(1099ms);
    EXPECT_TRUE(runs.empty());
    advanceTo(1100ms);
    EXPECT_EQ(runs, std::vector<Run>({run(3, 1100ms)}));
    advanceTo(5000ms);
    EXPECT_EQ(runs.size(), 1u);
}

TEST_F(Coalesce, CollectingForRunsTheFirstRequestAndDropsTheBurst)
{
    request(ZORVAK_Coalesce::leadingRun, 1.0, 1);
    advanceTo(500ms);
    request(ZORVAK_Coalesce::leadingRun, 1.0, 2);
    advanceTo(1200ms); // the request at 0.5 s is still counted until 1.5 s
    request(ZORVAK_Coalesce::leadingRun, 1.0, 3);
    advanceTo(2199ms);
    EXPECT_EQ(runs, std::vector<Run>({run(1, 0ms)}));
    advanceTo(2500ms); // the burst closed at 2.2 s
    request(ZORVAK_Coalesce::leadingRun, 1.0, 4);
    EXPECT_EQ(runs, std::vector<Run>({run(1, 0ms), run(4, 2500ms)}));
}

TEST_F(Coalesce, BeforeAndAfterRunsASingleRequestTwice)
{
    request(ZORVAK_Coalesce::leadingRun | ZORVAK_Coalesce::trailingRun, 0.25, 7);
    EXPECT_EQ(runs, std::vector<Run>({run(7, 0ms)}));
    advanceTo(250ms);
    EXPECT_EQ(runs, std::vector<Run>({run(7, 0ms), run(7, 250ms)}));
}

TEST_F(Coalesce, KeysAreIndependent)
{
    std::atomic<int> other = 0;
    request(ZORVAK_Coalesce::trailingRun, 1.0, 1);
    ZORVAK_Coalesce::runOnceForKeyAfterWaiting(QStringLiteral("another key"), target, 1.0, [&] { ++other; });
    settle();
    advanceTo(1000ms);
    EXPECT_EQ(runs.size(), 1u);
    EXPECT_EQ(other, 1);
}

TEST_F(Coalesce, KeysNeverStickAndAnotherBurstRunsAgain)
{
    // Zero and negative delays take the request back at once; the key must not
    // stay counted, or no later burst would ever run.
    request(ZORVAK_Coalesce::leadingRun, 0.0, 1);
    EXPECT_TRUE(kova::test::waitUntil([&] {
        request(ZORVAK_Coalesce::leadingRun, -3.0, 2); // dropped while the first is still counted
        return runs.size() == 2;
    }));
    clock->advance(1ms);
    settle();
    for (int i = 0; i < 50; ++i)
        request(ZORVAK_Coalesce::trailingRun, 0.01, 10 + i);
    advanceTo(11ms);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs.back().tag, 59); // the last request's block
}

TEST_F(Coalesce, WithoutQueueRunsOnTheMainQueue)
{
    std::atomic<bool> onMain = false;
    ZORVAK_Coalesce::runOnceForKeyCollectingFor(QStringLiteral("main key"), nullptr, 1.0, [&] { onMain = ZORVAK_Dispatch::isMainQueue(); });
    EXPECT_TRUE(kova::test::waitUntil([&] { return onMain.load(); }));
}

TEST_F(Coalesce, ACancelledBurstNeitherRunsNorHoldsBackTheNext)
{
    request(ZORVAK_Coalesce::trailingRun, 1.0, 1);
    ZORVAK_Coalesce::cancelRequestsForKey(key);
    advanceTo(500ms);
    request(ZORVAK_Coalesce::trailingRun, 0.2, 2);
    advanceTo(700ms);
    EXPECT_EQ(runs, std::vector<Run>({run(2, 700ms)}));
    advanceTo(5000ms);
    EXPECT_EQ(runs.size(), 1u);
}

TEST_F(Coalesce, RunNowRunsWhatTheBurstStillOwesOnceAndAtOnce)
{
    struct Case {
        const char* name;
        std::vector<qint64> requests; // the `when` of each request, all in one burst
        std::vector<int> ranNow; // tags run by the call
    };
    const std::vector<Case> cases {
        { "a run after the burst", { ZORVAK_Coalesce::trailingRun, ZORVAK_Coalesce::trailingRun }, { 2 } },
        { "only a first run", { ZORVAK_Coalesce::leadingRun }, {} },
        { "no request", {}, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        runs.clear();
        const std::chrono::milliseconds at = std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - start);
        int tag = 0;
        for (const qint64 when : c.requests)
            request(when, 0.5, ++tag);
        const std::vector<Run> before = runs;
        ZORVAK_Coalesce::runPendingRequestsForKeyNow(key);
        std::vector<int> ranNow;
        for (std::size_t i = before.size(); i < runs.size(); ++i)
            ranNow.push_back(runs[i].tag);
        EXPECT_EQ(ranNow, c.ranNow);
        advanceTo(at + 5000ms); // the released burst runs nothing more
        EXPECT_EQ(runs.size(), before.size() + c.ranNow.size());
    }
}

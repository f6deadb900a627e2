#include "platform/progress/Progress.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using platform::Progress;

TEST(Progress, childrenContributeTheirShare)
{
    const struct {
        const char* name;
        qint64 childTotal;
        qint64 pending;
        qint64 childCompleted;
        qint64 parentCompleted;
        double parentFraction;
    } cases[] = {
        {"child not started", 10, 30, 0, 0, 0.0},
        {"child half done", 10, 30, 5, 0, 0.15},
        {"child done", 10, 30, 10, 30, 0.3},
        {"child overdone", 10, 30, 12, 30, 0.3},
        {"parsing counter", 1, 10, 1, 10, 0.1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parent = Progress::create(100);
        const auto child = Progress::create(c.childTotal);
        parent->addChild(child, c.pending);
        child->setCompletedUnitCount(c.childCompleted);
        EXPECT_EQ(parent->completedUnitCount(), c.parentCompleted);
        EXPECT_DOUBLE_EQ(parent->fractionCompleted(), c.parentFraction);
    }
}

TEST(Progress, finishedChildCountsOnceWhenAdded)
{
    const auto parent = Progress::create(100);
    const auto child = Progress::create(10);
    child->setCompletedUnitCount(10);
    parent->addChild(child, 40);
    child->setCompletedUnitCount(10);
    child->completeUnitCount(3);
    EXPECT_EQ(parent->completedUnitCount(), 40);
    EXPECT_FALSE(parent->isFinished());
}

// Package runs complete their counters and the job its shares from many threads at once.
TEST(Progress, concurrentCompletionsAreAllCounted)
{
    constexpr int threads = 8;
    constexpr int steps = 500;
    const auto parent = Progress::create(threads * steps * 2);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < steps; ++i) {
                parent->completeUnitCount(1);
                const auto child = Progress::create(1);
                parent->addChild(child, 1);
                child->setCompletedUnitCount(1);
                (void)parent->fractionCompleted();
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    EXPECT_EQ(parent->completedUnitCount(), threads * steps * 2);
    EXPECT_TRUE(parent->isFinished());
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.0);
}

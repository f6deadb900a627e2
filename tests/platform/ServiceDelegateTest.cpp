#include "platform/ipc/ServiceDelegate.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// The idle exit on a manual clock, without a bus: the exit hook records the status.
class ServiceIdle : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DispatchClock::setCurrent(clock);
        ServiceDelegate::setExitHook([this](int status) { exitStatus = status; });
    }
    void TearDown() override
    {
        clock->advance(1h);
        settle();
        ServiceDelegate::setExitHook(nullptr);
        platform::DispatchClock::setCurrent(nullptr);
    }
    void settle()
    {
        kova::test::processMainQueue();
        kova::test::processMainQueue();
    }
    void advanceTo(std::chrono::milliseconds at)
    {
        clock->advance(start + at - clock->now());
        settle();
    }

    const std::chrono::nanoseconds start = 1000s;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(start);
    ServiceDelegate delegate { QDBusConnection(QStringLiteral("no bus")), {}, 600.0 };
    int exitStatus = -1;
};

TEST_F(ServiceIdle, ExitsAfterTheIdleWaitPushedBackByRequests)
{
    struct Case {
        std::optional<std::chrono::milliseconds> requestAt;
        std::chrono::milliseconds aliveAt, exitedAt;
    };
    const Case cases[] = { { {}, 599900ms, 600000ms }, { 300000ms, 899900ms, 900000ms } };
    for (const Case& c : cases) {
        exitStatus = -1;
        const std::chrono::nanoseconds base = clock->now() - start;
        const auto at = [&](std::chrono::milliseconds offset) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(base) + offset;
        };
        delegate.didComplete();
        settle();
        if (c.requestAt) {
            advanceTo(at(*c.requestAt));
            delegate.enterRequest();
            delegate.leaveRequest();
            settle();
        }
        advanceTo(at(c.aliveAt));
        EXPECT_EQ(exitStatus, -1);
        advanceTo(at(c.exitedAt));
        EXPECT_EQ(exitStatus, 0);
    }
}

TEST_F(ServiceIdle, ARunningRequestFinishesBeforeTheExit)
{
    delegate.didComplete();
    settle();
    delegate.enterRequest();
    advanceTo(600000ms);
    EXPECT_EQ(exitStatus, -1);
    ServiceDelegate::group()->leave();
    EXPECT_TRUE(kova::test::waitUntil([this] { return exitStatus == 0; }));
}

TEST_F(ServiceIdle, AnEarlierDelegatesPendingWaitDoesNotHoldBackALaterOne)
{
    {
        ServiceDelegate earlier(QDBusConnection(QStringLiteral("no bus")), {}, 3600.0);
        earlier.didComplete();
        settle();
    }
    delegate.didComplete();
    settle();
    advanceTo(600000ms);
    EXPECT_EQ(exitStatus, 0);
}

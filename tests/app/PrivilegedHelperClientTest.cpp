#include "app/PrivilegedHelperClient.h"

#include "FakeBusObject.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"
#include "platform/dispatch/DispatchClock.h"

#include <gtest/gtest.h>

// A launch against a fake helper whose install step makes it current (0.24).
TEST(PrivilegedHelperClient, installsAtMostOnceAndAsksOnceForTheFolders)
{
    const struct {
        const char* name;
        bool present;
        double version;
        int installs, folderRequests;
    } cases[] = {
        { "current helper", true, 0.24, 0, 1 },
        { "outdated helper", true, 0.23, 1, 1 },
        { "helper that never answers", false, 0, 1, 0 },
    };
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a private bus";
    const QString label = PrivilegedHelperClient::helperLabel;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kova::test::PrivateSessionBus bus;
        auto clock = std::make_shared<platform::ManualClock>();
        platform::DispatchClock::setCurrent(clock);
        double version = c.version;
        kova::test::FakeBusObject helper([&](const QDBusMessage& call) -> QVariantList {
            return call.member() == "versionInterface" ? QVariantList { version } : QVariantList { "file:///KOVA", QByteArray() };
        });
        if (c.present)
            helper.serve(bus.address(), label);
        int installs = 0;
        auto client = std::make_shared<PrivilegedHelperClient>(QDBusConnection::connectToBus(bus.address(), "client"), [&](const QString&) {
            ++installs;
            version = 0.24;
            return platform::Error();
        });
        const auto settle = [&] {
            kova::test::processMainQueue();
            kova::test::waitUntil([&] { return !client->isConnected(); });
        };
        client->connectToPrivilegedHelper();
        settle();
        EXPECT_EQ(installs, c.installs);
        clock->advance(std::chrono::milliseconds(999)); // the reconnect waits a full second
        settle();
        EXPECT_EQ(helper.calls(QStringLiteral("versionInterface")), c.present ? 1 : 0);
        clock->advance(std::chrono::seconds(5));
        settle();
        EXPECT_EQ(installs, c.installs);
        EXPECT_EQ(helper.calls(QStringLiteral("makeKOVAFolder")), c.folderRequests);
        platform::DispatchClock::setCurrent(nullptr);
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(label);
    }
}

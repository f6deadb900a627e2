#include "app/PrivilegedHelperClient.h"

#include "FakeBusObject.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"
#include "platform/dispatch/DispatchClock.h"

#include <gtest/gtest.h>

namespace {

using kova::test::FakeBusObject;
using platform::ManualClock;

// A launch against a fake helper: the install step makes the helper current
// (0.24) and, when `appearsOnInstall`, puts it on the bus.
TEST(PrivilegedHelperClient, installsAtMostOnceAndAsksOnceForTheFolders)
{
    const struct {
        const char* name;
        bool present;
        double version;
        bool appearsOnInstall;
        int installs;
        int folderRequests;
    } cases[] = {
        { "current helper", true, 0.24, true, 0, 1 },
        { "outdated helper", true, 0.23, true, 1, 1 },
        { "helper that never answers", false, 0, false, 1, 0 },
    };
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a private bus";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kova::test::PrivateSessionBus bus;
        auto clock = std::make_shared<ManualClock>();
        platform::DispatchClock::setCurrent(clock);
        double version = c.version;
        FakeBusObject helper([&](const QDBusMessage& call) -> QVariantList {
            if (call.member() == QStringLiteral("versionInterface"))
                return { version };
            return { QStringLiteral("file:///var/lib/Morvanta/KOVA"), QByteArray() };
        });
        const QString label = PrivilegedHelperClient::helperLabel;
        if (c.present)
            kova::test::serve(bus.address(), label, &helper);
        int installs = 0;
        const QDBusConnection client = QDBusConnection::connectToBus(bus.address(), QStringLiteral("client"));
        auto helperClient = std::make_shared<PrivilegedHelperClient>(client, [&](const QString&) {
            ++installs;
            version = 0.24;
            if (c.appearsOnInstall && !c.present)
                kova::test::serve(bus.address(), label, &helper);
            return platform::Error();
        });
        helperClient->connectToPrivilegedHelper();
        kova::test::waitUntil([&] { return !helperClient->isConnected(); });
        EXPECT_EQ(installs, c.installs);
        // The reconnect waits a full second.
        clock->advance(std::chrono::milliseconds(999));
        kova::test::processMainQueue();
        EXPECT_EQ(helper.calls(QStringLiteral("versionInterface")), c.present ? 1 : 0);
        clock->advance(std::chrono::milliseconds(1));
        kova::test::processMainQueue();
        kova::test::waitUntil([&] { return helper.calls(QStringLiteral("makeKOVAFolder")) == c.folderRequests
                                        && !helperClient->isConnected(); });
        clock->advance(std::chrono::seconds(5));
        kova::test::waitUntil([&] { return !helperClient->isConnected(); });
        EXPECT_EQ(installs, c.installs);
        EXPECT_EQ(helper.calls(QStringLiteral("makeKOVAFolder")), c.folderRequests);
        EXPECT_FALSE(helperClient->isConnected());
        platform::DispatchClock::setCurrent(nullptr);
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(label + QStringLiteral(".server"));
    }
}

TEST(PrivilegedHelperClient, aFailedInstallIsTheError)
{
    PrivilegedHelperClient client(QDBusConnection(QStringLiteral("none")),
        [](const QString&) { return platform::Error { QStringLiteral("OSStatus"), 126, QStringLiteral("dismissed") }; });
    const struct {
        QString label;
        qint64 code;
    } cases[] = { { PrivilegedHelperClient::helperLabel, 126 }, { QString(), -1 } };
    for (const auto& c : cases) {
        platform::Error error;
        EXPECT_FALSE(client.installHelperWithLabel(c.label, [&](const platform::Error& e) { error = e; }));
        EXPECT_EQ(error.code, c.code);
    }
}

} // namespace

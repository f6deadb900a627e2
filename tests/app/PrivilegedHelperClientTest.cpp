#include "app/PrivilegedHelperClient.h"

#include "FakeBusObject.h"
#include "HelperSystemBus.h"
#include "HostileFiles.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"
#include "platform/dispatch/DispatchClock.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QUrl>

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

namespace {

// Keeps the arguments of the last signal it was handed.
class SignalCatcher : public QObject {
    Q_OBJECT
public slots:
    void caught(const QDBusMessage& signal) { arguments = signal.arguments(); }

public:
    QVariantList arguments;
};

} // namespace

// The built helper (owners recorded), activated by a private system-type bus with
// the project's policy: a current helper needs no install and makes the tree on
// the client's one request; the "make" signal is answered by "made".
TEST(PrivilegedHelperClient, MakesTheTreeThroughTheHelperOnTheSystemBus)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts a private bus and the helper";
    kova::test::HelperSystemBus bus(QStringLiteral(KOVA_RECORDING_HELPER), QStringLiteral(KOVA_HELPER_POLICY));
    ASSERT_TRUE(bus.connection().isConnected());
    const QString tree = qEnvironmentVariable("KOVA_LOCAL_DOMAIN") + QStringLiteral("/var/lib/Morvanta/KOVA");
    const QString url = QUrl::fromLocalFile(tree).toString();
    int installs = 0;
    auto client = std::make_shared<PrivilegedHelperClient>(bus.connection(), [&](const QString&) {
        ++installs;
        return platform::Error();
    });
    const QString log = kova::test::loggedBy([&] {
        client->connectToPrivilegedHelper();
        EXPECT_TRUE(kova::test::waitUntil([&] { return !client->isConnected(); }));
    });
    EXPECT_EQ(installs, 0);
    EXPECT_TRUE(log.contains(QStringLiteral("KOVA directory URL: ") + url)) << log.toStdString();
    for (const char* folder : { "Jobs/Completed", "Jobs/Failed", "Jobs/Pending", "Graphics", "Templates", "Packages", "Nodes" })
        EXPECT_TRUE(QFileInfo(tree + QLatin1Char('/') + QLatin1String(folder)).isDir()) << folder;

    SignalCatcher made;
    const QString folderInterface = QStringLiteral("com.morvanta.KOVA.kovaFolder");
    ASSERT_TRUE(bus.connection().connect(QString(), QStringLiteral("/"), folderInterface, QStringLiteral("made"), &made,
        SLOT(caught(QDBusMessage))));
    bus.connection().send(QDBusMessage::createSignal(QStringLiteral("/"), folderInterface, QStringLiteral("make")));
    EXPECT_TRUE(kova::test::waitUntil([&] { return !made.arguments.isEmpty(); }));
    EXPECT_EQ(made.arguments, QVariantList({ tree, url }));
}

#include "PrivilegedHelperClientTest.moc"

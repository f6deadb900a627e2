#include "platform/files/FileLock.h"
#include "platform/ipc/BusPropertyList.h"
#include "service/engine/KOVA_RenderingEngine.h"

#include "PrivateSessionBus.h"
#include "TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

// The built services started on a private bus with their idle wait shortened
// through the environment, as only these tests do: once idle they give up their
// names, answer the requests they took and end with status 0.
class ServiceExit : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts the services";
    }
    void TearDown() override
    {
        watcher.reset();
        QDBusConnection::disconnectFromBus(connectionName);
    }

    // Starts `program` with `addressVariable` naming `bus`, and records the owners of `name`.
    QDBusConnection start(const kova::test::PrivateSessionBus& bus, const char* addressVariable, const QString& program,
        const QString& name)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(addressVariable), bus.address());
        environment.insert(QStringLiteral("KOVA_SERVICE_IDLE_LIMIT"), QStringLiteral("0.2"));
        service.setProcessEnvironment(environment);
        service.setProcessChannelMode(QProcess::MergedChannels);
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), connectionName);
        watcher = std::make_unique<QDBusServiceWatcher>(name, connection);
        QObject::connect(watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged,
            [this](const QString&, const QString&, const QString& owner) { owners << owner; });
        service.start(program, {});
        return connection;
    }
    void expectIdleExit()
    {
        ASSERT_TRUE(service.waitForFinished(20000));
        EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(service.exitCode(), 0);
        const QString log = QString::fromUtf8(service.readAll());
        EXPECT_TRUE(log.contains(QStringLiteral("exiting after 0.200000 seconds idle"))) << log.toStdString();
        EXPECT_TRUE(kova::test::waitUntil([this] { return owners.size() == 2; }));
        EXPECT_EQ(owners.value(1, QStringLiteral("none")), QString());
    }

    const QString connectionName = QStringLiteral("service-exit-test");
    QProcess service;
    std::unique_ptr<QDBusServiceWatcher> watcher;
    QStringList owners;
};

TEST_F(ServiceExit, TheHelperEndsWithStatusZeroAfterItsIdleWait)
{
    const auto bus = kova::test::PrivateSessionBus::systemType(QStringLiteral(KOVA_HELPER_POLICY), {});
    ASSERT_FALSE(bus->address().isEmpty());
    start(*bus, "DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral(KOVA_HELPER_PROGRAM), QStringLiteral("com.morvanta.KOVA-Helper"));
    expectIdleExit();
}

// A request held in the preferences' writers' lock is running when the wait runs
// out: the name is given up at once, the request answered, and only then the
// service ends.
TEST_F(ServiceExit, TheServiceReleasesItsNameAndAnswersTheRunningRequestBeforeEnding)
{
    kova::test::PrivateSessionBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    const QString name = KOVA_RenderingEngine::ServiceName;
    QDBusConnection connection = start(bus, "DBUS_SESSION_BUS_ADDRESS", QStringLiteral(KOVA_RENDERING_ENGINE), name);
    ASSERT_TRUE(kova::test::waitUntil([&] { return connection.interface()->isServiceRegistered(name).value(); }));
    const auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(name, QStringLiteral("/"),
            QStringLiteral("com.morvanta.KOVA.RenderingEngine"), method);
        message.setArguments(arguments);
        return message;
    };

    auto writersLock = platform::FileLock::acquire(
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/com.morvanta.KOVA-RenderingEngine.plist.lock"));
    ASSERT_TRUE(writersLock);
    QDBusPendingCall held = connection.asyncCall(
        call(QStringLiteral("setObject"), { platform::BusPropertyList::encode(QStringLiteral("kept")), QStringLiteral("held") }));
    // A finished request starts the idle wait.
    const QDBusMessage answered = connection.call(call(QStringLiteral("jobTicketPath"), { QStringLiteral("/nonexistent") }));
    EXPECT_EQ(answered.arguments().value(0), QVariant(false)) << answered.errorMessage().toStdString();

    EXPECT_TRUE(kova::test::waitUntil([&] { return owners.size() == 2; }));
    EXPECT_EQ(service.state(), QProcess::Running);
    EXPECT_FALSE(held.isFinished());
    writersLock.reset();
    held.waitForFinished();
    EXPECT_FALSE(held.isError()) << held.error().message().toStdString();
    expectIdleExit();
}

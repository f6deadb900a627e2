#include "helper/lib/KOVAFolderMaker.h"
#include "helper/lib/PrivilegedHelper.h"

#include "HelperSystemBus.h"
#include "RecordingOwnership.h"
#include "TestEnvironment.h"
#include "platform/ipc/ServiceDelegate.h"
#include "HostileFiles.h"
#include "platform/dispatch/DispatchClock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QUrl>
#include <gtest/gtest.h>
#include <optional>

using kova::helper::KOVAFolderMaker;
using kova::helper::PrivilegedHelper;
using namespace kova::test;
using namespace std::chrono_literals;

namespace {

// Catches the helper's "made" signal.
class MadeReceiver : public QObject {
    Q_OBJECT
public slots:
    void made(const QDBusMessage& signal) { arguments = signal.arguments(); }

public:
    QVariantList arguments;
};

// The built daemon (recording owners) activated on a private system-type bus that
// carries the project's policy.
class HelperOnSystemBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (startsNoChildProcesses)
            GTEST_SKIP() << "starts a bus and the daemon";
        bus.emplace(QStringLiteral(KOVA_RECORDING_HELPER), QStringLiteral(KOVA_HELPER_POLICY));
        ASSERT_FALSE(bus->address().isEmpty());
        systemAddress.emplace("DBUS_SYSTEM_BUS_ADDRESS", bus->address());
        connection = bus->connection();
        ASSERT_TRUE(connection.isConnected());
    }

    QVariantList call(const QString& method)
    {
        return connection.call(QDBusMessage::createMethodCall(PrivilegedHelper::ServiceName, QStringLiteral("/"),
                                   QStringLiteral("com.morvanta.KOVA.Helper"), method),
            QDBus::Block, 10000).arguments();
    }

    std::optional<HelperSystemBus> bus;
    std::optional<ScopedEnvironment> systemAddress;
    QDBusConnection connection { QString() };
};

// The helper in this process, its idle minute on a manual clock.
class HelperIdle : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::DispatchClock::setCurrent(clock);
        ServiceDelegate::setExitHook([this](int status) { exitStatus = status; });
    }
    void TearDown() override
    {
        ServiceDelegate::setExitHook(nullptr);
        platform::DispatchClock::setCurrent(nullptr);
    }
    void advanceTo(std::chrono::nanoseconds at)
    {
        clock->advance(start + at - clock->now());
        processMainQueue();
        processMainQueue(); // the exit waits for the group by a notification
    }

    const std::chrono::nanoseconds start = 1000s;
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(start);
    std::optional<int> exitStatus;
    ServiceDelegate delegate { QDBusConnection(QStringLiteral("none")), PrivilegedHelper::ServiceName, PrivilegedHelper::idleSeconds };
    RecordingOwnership ownership;
    KOVAFolderMaker maker { ownership, QStringLiteral("admins") };
    PrivilegedHelper helper { QDBusConnection(QStringLiteral("none")), maker, delegate };
};

} // namespace

TEST_F(HelperOnSystemBus, AnswersItsMethodsAndTheMakeSignal)
{
    const QString url = QUrl::fromLocalFile(KOVAFolderMaker::kovaFolderPath()).toString();
    EXPECT_EQ(call(QStringLiteral("versionInterface")), QVariantList { 0.24 });
    EXPECT_EQ(call(QStringLiteral("whoAmI")), QVariantList { QStringLiteral("UID = %1").arg(getuid()) });
    EXPECT_EQ(call(QStringLiteral("makeKOVAFolder")), QVariantList({ url, QByteArray() }));

    MadeReceiver receiver;
    ASSERT_TRUE(connection.connect(QString(), QStringLiteral("/"), PrivilegedHelper::FolderInterface,
        QStringLiteral("made"), &receiver, SLOT(made(QDBusMessage))));
    connection.send(QDBusMessage::createSignal(QStringLiteral("/"), PrivilegedHelper::FolderInterface, QStringLiteral("make")));
    EXPECT_TRUE(waitUntil([&] { return !receiver.arguments.isEmpty(); }));
    EXPECT_EQ(receiver.arguments, QVariantList({ KOVAFolderMaker::kovaFolderPath(), url }));
}

TEST_F(HelperIdle, OnlyIdentityRequestsPushTheExitBack)
{
    struct Case {
        const char* name;
        std::function<void(PrivilegedHelper&)> request;
        std::chrono::seconds exitAt;
    };
    const Case cases[] = {
        { "version", [](PrivilegedHelper& h) { h.versionInterface(); }, 60s },
        { "identity", [](PrivilegedHelper& h) { h.whoAmI(); }, 90s },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::chrono::nanoseconds base = clock->now() - start;
        exitStatus.reset();
        delegate.didComplete();
        advanceTo(base + 30s);
        c.request(helper);
        advanceTo(base + c.exitAt - 100ms);
        EXPECT_FALSE(exitStatus);
        const QString log = loggedBy([&] {
            advanceTo(base + c.exitAt);
            EXPECT_TRUE(waitUntil([&] { return exitStatus.has_value(); }));
        });
        EXPECT_EQ(exitStatus.value_or(-1), 0);
        EXPECT_TRUE(log.contains(QStringLiteral("exiting after 60.000000 seconds idle"))) << log.toStdString();
        advanceTo(base + 1h);
    }
}

#include "HelperBusTest.moc"

#include "app/AppDelegate.h"

#include "FakeBusObject.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/plist/PropertyList.h"
#include "workflow/KOVA.h"

#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

namespace {

using kova::test::FakeBusObject;

// The application on a private session bus with a fake rendering service that
// records every mirrored preference.
class AppDelegateTest : public testing::Test {
protected:
    AppDelegateTest()
        : service([this](const QDBusMessage& call) {
            mirrored[call.arguments().value(1).toString()] = platform::PropertyList::fromData(call.arguments().value(0).toByteArray());
            return QVariantList();
        })
    {
    }
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts a private bus";
        bus = std::make_unique<kova::test::PrivateSessionBus>();
        kova::test::serve(bus->address(), AppDelegate::renderingEngineName, &service);
        for (const QString& key : defaults->dictionaryRepresentation().keys())
            defaults->removeObjectForKey(key);
    }
    ~AppDelegateTest() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
        QDBusConnection::disconnectFromBus(AppDelegate::renderingEngineName + QStringLiteral(".server"));
    }
    std::shared_ptr<AppDelegate> launch()
    {
        auto app = std::make_shared<AppDelegate>(QDBusConnection::connectToBus(bus->address(), QStringLiteral("app")), nullptr);
        app->applicationDidFinishLaunching();
        kova::test::waitUntil([this] { return service.calls(QStringLiteral("setObject")) >= 7; });
        return app;
    }

    std::unique_ptr<kova::test::PrivateSessionBus> bus;
    QVariantMap mirrored;
    FakeBusObject service;
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standardUserDefaults();
};

TEST_F(AppDelegateTest, launchWritesAndMirrorsTheWorkFoldersButNotAChosenPendingFolder)
{
    const QString chosenPending = QStringLiteral("/home/someone/Pending");
    defaults->setObject(chosenPending, QStringLiteral("key_kovaFolderJobsPending"));
    defaults->setObject(QStringLiteral("/home/someone/Templates"), QStringLiteral("key_kovaFolderTemplates"));
    const auto app = launch();
    const struct {
        const char* key;
        QString expected;
    } cases[] = {
        { "key_kovaFolderNodes", KOVA::kovaDirectoryNodes().toLocalFile() },
        { "key_kovaFolderPackages", KOVA::kovaDirectoryPackages().toLocalFile() },
        { "key_kovaFolderTemplates", KOVA::kovaDirectoryTemplates().toLocalFile() },
        { "key_kovaFolderGraphics", KOVA::kovaDirectoryGraphics().toLocalFile() },
        { "key_kovaFolderJobsCompleted", KOVA::kovaDirectoryJobsCompleted().toLocalFile() },
        { "key_kovaFolderJobsFailed", KOVA::kovaDirectoryJobsFailed().toLocalFile() },
        { "kovaFolderFallbackOutputPath", AppDelegate::fallbackOutputPath() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(defaults->stringForKey(QString::fromUtf8(c.key)), c.expected);
        EXPECT_EQ(mirrored.value(QString::fromUtf8(c.key)).toString(), c.expected);
    }
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("key_kovaFolderJobsPending")), chosenPending);
    EXPECT_FALSE(mirrored.contains(QStringLiteral("key_kovaFolderJobsPending")));
    EXPECT_TRUE(AppDelegate::fallbackOutputPath().endsWith(QStringLiteral("/Desktop/PrintToFileOutputs/Unknown")));
    // A folder-set save reaches the service through the installed delegate.
    KOVA_DefaultsDelegate::installedDelegate()->setDefaultObject(QByteArray("archive"), QStringLiteral("sets"));
    kova::test::waitUntil([this] { return mirrored.contains(QStringLiteral("sets")); });
    EXPECT_EQ(mirrored.value(QStringLiteral("sets")).toByteArray(), QByteArray("archive"));
}

TEST_F(AppDelegateTest, aPreferenceTheServiceCannotTakeIsStillStoredLocally)
{
    QDBusConnection::disconnectFromBus(AppDelegate::renderingEngineName + QStringLiteral(".server"));
    const QDBusConnection connection = QDBusConnection::connectToBus(bus->address(), QStringLiteral("app"));
    AppDelegate app(connection, nullptr);
    const QString logged = kova::test::loggedBy([&] {
        app.setDefaultObject(QStringLiteral("/somewhere"), QStringLiteral("key_kovaFolderNodes"));
        // The bus answers in order: once this round trip is back, so is the failure.
        connection.interface()->isServiceRegistered(AppDelegate::renderingEngineName);
        kova::test::processMainQueue();
    });
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("key_kovaFolderNodes")), QStringLiteral("/somewhere"));
    EXPECT_TRUE(logged.contains(QStringLiteral("key_kovaFolderNodes"))) << logged.toStdString();
}

TEST_F(AppDelegateTest, testJobWithPathAnswersForTheTicket)
{
    kova::test::ScratchFolder scratch;
    const struct {
        const char* name;
        QByteArray ticket; // empty: no file at the path
        bool success;
        QString error;
    } cases[] = {
        { "inline package", "<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"Inl\"/></data>", true, {} },
        { "missing package", "<data type=\"kova_job\" version=\"1.0\"><package name=\"Nowhere\" plucode=\"N1\"/></data>", false,
            QStringLiteral("could not find package with name Nowhere") },
        { "unreadable path", {}, false, QStringLiteral("cannot make a job from ") },
    };
    AppDelegate app(QDBusConnection::connectToBus(bus->address(), QStringLiteral("app")), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = scratch.path(QString::fromUtf8(c.name) + QStringLiteral(".xml"));
        if (!c.ticket.isEmpty())
            ASSERT_TRUE(kova::test::writeFile(path, c.ticket));
        int replies = 0;
        platform::Error error;
        bool success = !c.success;
        app.testJobWithPath(path, [&](bool ok, const platform::Error& e) {
            ++replies;
            success = ok;
            error = e;
        });
        kova::test::waitUntil([&] { return replies > 0; });
        EXPECT_EQ(replies, 1);
        EXPECT_EQ(success, c.success);
        EXPECT_TRUE(error.message.startsWith(c.error)) << error.message.toStdString();
    }
}

} // namespace

#include "app/delegate/AppDelegate.h"

#include "FakeBusObject.h"
#include "FileFixtures.h"
#include "HostileFiles.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/plist/PropertyList.h"
#include "workflow/KOVA.h"

#include <QDBusConnectionInterface>
#include <QDir>

#include <gtest/gtest.h>

// The application on a private session bus with a fake rendering service that
// records every mirrored preference.
class AppDelegateTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts a private bus";
        bus = std::make_unique<kova::test::PrivateSessionBus>();
        service.serve(bus->address(), AppDelegate::renderingEngineName);
        for (const QString& key : defaults->dictionaryRepresentation().keys())
            defaults->removeObjectForKey(key);
        app = std::make_shared<AppDelegate>(QDBusConnection::connectToBus(bus->address(), "app"), nullptr);
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
        QDBusConnection::disconnectFromBus(AppDelegate::renderingEngineName);
    }

    std::unique_ptr<kova::test::PrivateSessionBus> bus;
    QVariantMap mirrored;
    kova::test::FakeBusObject service { [this](const QDBusMessage& call) {
        mirrored[call.arguments().value(1).toString()] = platform::PropertyList::fromData(call.arguments().value(0).toByteArray());
        return QVariantList();
    } };
    std::shared_ptr<platform::UserDefaults> defaults = platform::UserDefaults::standardUserDefaults();
    std::shared_ptr<AppDelegate> app;
};

TEST_F(AppDelegateTest, launchWritesAndMirrorsTheWorkFoldersButNotAChosenPendingFolder)
{
    const QString pending = QStringLiteral("/home/someone/Pending");
    defaults->setObject(pending, QStringLiteral("key_kovaFolderJobsPending"));
    defaults->setObject(QStringLiteral("/home/someone/Templates"), QStringLiteral("key_kovaFolderTemplates"));
    app->applicationDidFinishLaunching();
    kova::test::waitUntil([this] { return mirrored.size() == 7; });
    const std::pair<const char*, QString> folders[] = { { "key_kovaFolderNodes", KOVA::kovaDirectoryNodes().toLocalFile() },
        { "key_kovaFolderTemplates", KOVA::kovaDirectoryTemplates().toLocalFile() },
        { "key_kovaFolderJobsFailed", KOVA::kovaDirectoryJobsFailed().toLocalFile() },
        { "kovaFolderFallbackOutputPath", QDir::homePath() + "/Desktop/PrintToFileOutputs/Unknown" } };
    for (const auto& [key, folder] : folders) {
        EXPECT_EQ(defaults->stringForKey(key), folder) << key;
        EXPECT_EQ(mirrored.value(key).toString(), folder) << key;
    }
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("key_kovaFolderJobsPending")), pending);
    // A folder-set save reaches the service through the installed delegate.
    KOVA_DefaultsDelegate::installedDelegate()->setDefaultObject(QByteArray("archive"), "sets");
    EXPECT_TRUE(kova::test::waitUntil([this] { return mirrored.value("sets") == QByteArray("archive"); }));
}

TEST_F(AppDelegateTest, aPreferenceTheServiceCannotTakeIsStoredLocallyAndLogged)
{
    QDBusConnection::disconnectFromBus(AppDelegate::renderingEngineName);
    const QString logged = kova::test::loggedBy([&] {
        app->setDefaultObject(QStringLiteral("/somewhere"), QStringLiteral("key_kovaFolderNodes"));
        // The bus answers in order: once this round trip is back, so is the failure.
        QDBusConnection(QStringLiteral("app")).interface()->isServiceRegistered(AppDelegate::renderingEngineName);
        kova::test::processMainQueue();
    });
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("key_kovaFolderNodes")), QStringLiteral("/somewhere"));
    EXPECT_TRUE(logged.contains(QStringLiteral("key_kovaFolderNodes"))) << logged.toStdString();
}

TEST(AppDelegate, testJobWithPathAnswersForTheTicket)
{
    AppDelegate app(QDBusConnection(QStringLiteral("none")), nullptr);
    kova::test::ScratchFolder scratch;
    const QString ticket = scratch.path(QStringLiteral("order.xml"));
    ASSERT_TRUE(kova::test::writeFile(ticket, "<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"I\"/></data>"));
    const std::pair<QString, QString> cases[] = { { ticket, {} }, { scratch.path("missing.xml"), "cannot make a job from " } };
    for (const auto& [path, error] : cases) {
        std::optional<platform::Error> answer;
        bool success = false;
        app.testJobWithPath(path, [&](bool ok, const platform::Error& e) { success = ok, answer = e; });
        kova::test::waitUntil([&] { return answer.has_value(); });
        EXPECT_EQ(success, error.isEmpty()) << path.toStdString();
        EXPECT_TRUE(answer && answer->message.startsWith(error));
    }
}

#include "app/delegate/AppDelegate.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"

#include "FileFixtures.h"
#include "HelperSystemBus.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

using namespace kova::test;

namespace {

// The names of the windows mapped on the X display, or nothing off X.
QString mappedWindows()
{
    QProcess list;
    list.start(QStringLiteral("xwininfo"), { QStringLiteral("-root"), QStringLiteral("-tree") });
    list.waitForFinished();
    return QString::fromUtf8(list.readAllStandardOutput());
}

bool onX() { return QGuiApplication::platformName() == QStringLiteral("xcb"); }

} // namespace

// The built program on private buses with the recording helper, both windows
// recorded as open: it launches, shows them (on X: maps them), and a SIGTERM
// quits it with status 0 without recording them as closed. Run offscreen by
// the suite, and on X under xvfb-run by the application's smoke test.
TEST(ApplicationProcess, ATerminatedApplicationReopensItsWindowsAndExitsCleanly)
{
    if (startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    PrivateSessionBus session;
    HelperSystemBus system(QStringLiteral(KOVA_RECORDING_HELPER), QStringLiteral(KOVA_HELPER_POLICY));
    ASSERT_FALSE(session.address().isEmpty());
    const auto preferences = platform::UserDefaults::initWithSuiteName(QStringLiteral("KOVA-XML"));
    ASSERT_TRUE(preferences->setBool(true, AppDelegate::keyProcessorVisible));
    ASSERT_TRUE(preferences->setBool(true, AppDelegate::keyEditorVisible));
    const QString log = platform::StandardPaths::path(platform::StandardPaths::Folder::Logs) + QStringLiteral("/Kova/KOVA-XML.log");
    QFile::remove(log);

    QProcess application;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), system.address());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    application.setProcessEnvironment(environment);
    application.start(QStringLiteral(KOVA_XML_PROGRAM), {});
    ASSERT_TRUE(application.waitForStarted());
    // The start panel is loaded after the windows are shown and the signals taken.
    const bool launched = waitUntil([&] { return readFile(log).contains("loaded the start panel"); });
    EXPECT_TRUE(launched) << readFile(log).toStdString();
    EXPECT_TRUE(readFile(log).contains("-[AppDelegate applicationDidFinishLaunching:]"));
    if (onX()) {
        EXPECT_TRUE(waitUntil([] {
            const QString windows = mappedWindows();
            return windows.contains(QStringLiteral("\"KOVA-XML Processor\"")) && windows.contains(QStringLiteral("\"Template Editor\""));
        })) << mappedWindows().toStdString();
    }
    ::kill(pid_t(application.processId()), SIGTERM);
    ASSERT_TRUE(application.waitForFinished(20000));
    EXPECT_EQ(application.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(application.exitCode(), 0) << readFile(log).toStdString();
    EXPECT_TRUE(readFile(log).contains("-[AppDelegate applicationWillTerminate:]"));
    EXPECT_TRUE(preferences->boolForKey(AppDelegate::keyProcessorVisible));
    EXPECT_TRUE(preferences->boolForKey(AppDelegate::keyEditorVisible));
}

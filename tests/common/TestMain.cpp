// Shared main of every test executable: points HOME, the XDG folders and the
// machine-wide domain at a private temporary tree, then runs the tests inside a
// QCoreApplication so the main queue exists (a QGuiApplication on the offscreen
// platform for the tests that lay out text, a QApplication for those that show
// widgets).
#include "TestEnvironment.h"

#ifdef KOVA_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#elif defined(KOVA_TEST_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir> sandbox;

void makeSandbox()
{
    sandbox = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kova-test-XXXXXX"));
    const QString root = sandbox->path();
    const auto point = [&](const char* variable, const QString& sub) {
        const QString path = root + QLatin1Char('/') + sub;
        QDir().mkpath(path);
        setenv(variable, path.toLocal8Bit().constData(), 1);
    };
    point("HOME", QStringLiteral("home"));
    point("XDG_CONFIG_HOME", QStringLiteral("home/.config"));
    point("XDG_STATE_HOME", QStringLiteral("home/.local/state"));
    point("XDG_DATA_HOME", QStringLiteral("home/.local/share"));
    point("XDG_CACHE_HOME", QStringLiteral("home/.cache"));
    point("XDG_RUNTIME_DIR", QStringLiteral("runtime"));
    point("KOVA_LOCAL_DOMAIN", QStringLiteral("local"));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No session bus unless a test starts its own: never the user's real one.
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + QStringLiteral("/runtime/no-bus")).toLocal8Bit().constData(), 1);
}
} // namespace

namespace kova::test {
QString sandboxRoot() { return sandbox->path(); }
} // namespace kova::test

int main(int argc, char** argv)
{
    makeSandbox();
#ifdef KOVA_TEST_GUI
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
#endif
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    sandbox.reset();
    return result;
}

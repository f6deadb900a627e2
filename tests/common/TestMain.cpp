// Shared main of every test executable: points HOME, the XDG folders and the
// machine-wide domain at a private temporary tree, then runs the tests inside a
// QCoreApplication so the main queue exists (a QGuiApplication on the offscreen
// platform for the tests that lay out text, a QApplication for those that show
// widgets).
#include "TestEnvironment.h"

#include "platform/files/StandardPaths.h"

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
    platform::StandardPaths::pointEveryDomainInto(sandbox->path());
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

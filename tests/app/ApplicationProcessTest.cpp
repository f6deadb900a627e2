#include "app/delegate/AppDelegate.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"

#include "FileFixtures.h"
#include "HelperSystemBus.h"
#include "PrivateSessionBus.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <utility>

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

QString xwininfo(const QStringList& arguments)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), arguments);
    info.waitForFinished();
    return QString::fromUtf8(info.readAllStandardOutput());
}

QString field(const QString& text, const QString& pattern)
{
    return QRegularExpression(pattern).match(text).captured(1);
}

// The screen of the X display.
QRect screenRect()
{
    const QString root = xwininfo({ QStringLiteral("-root") });
    return { 0, 0, field(root, QStringLiteral(R"(Width: (\d+))")).toInt(), field(root, QStringLiteral(R"(Height: (\d+))")).toInt() };
}

// Where the window titled `title` lies with its frame: the window manager's
// frame is the ancestor that is a child of the root window. Empty when no
// window has the title.
QRect frameOf(const QString& title)
{
    QString window = field(mappedWindows(), QStringLiteral(R"((0x[0-9a-f]+) "%1")").arg(QRegularExpression::escape(title)));
    for (int depth = 0; !window.isEmpty() && depth < 8; ++depth) {
        const QString tree = xwininfo({ QStringLiteral("-id"), window, QStringLiteral("-tree") });
        const QString parent = field(tree, QStringLiteral(R"(Parent window id: (0x[0-9a-f]+))"));
        if (parent.isEmpty() || parent == field(tree, QStringLiteral(R"(Root window id: (0x[0-9a-f]+))")))
            break;
        window = parent;
    }
    if (window.isEmpty())
        return {};
    const QString info = xwininfo({ QStringLiteral("-id"), window });
    return { field(info, QStringLiteral(R"(Absolute upper-left X: +(-?\d+))")).toInt(),
        field(info, QStringLiteral(R"(Absolute upper-left Y: +(-?\d+))")).toInt(),
        field(info, QStringLiteral(R"(Width: (\d+))")).toInt(), field(info, QStringLiteral(R"(Height: (\d+))")).toInt() };
}

bool windowManagerRuns()
{
    QProcess root;
    root.start(QStringLiteral("xprop"), { QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK") });
    root.waitForFinished();
    return root.readAllStandardOutput().contains("window id");
}

// Presses Ctrl+, on the X display as the keyboard does, through the XTEST
// extension of the X libraries that the X utilities bring along.
bool pressPreferencesShortcut()
{
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    void* xtest = dlopen("libXtst.so.6", RTLD_NOW);
    if (!x11 || !xtest)
        return false;
    const auto openDisplay = reinterpret_cast<void* (*)(const char*)>(dlsym(x11, "XOpenDisplay"));
    const auto keycodeOf = reinterpret_cast<unsigned char (*)(void*, unsigned long)>(dlsym(x11, "XKeysymToKeycode"));
    const auto closeDisplay = reinterpret_cast<int (*)(void*)>(dlsym(x11, "XCloseDisplay"));
    const auto fakeKey = reinterpret_cast<int (*)(void*, unsigned, int, unsigned long)>(dlsym(xtest, "XTestFakeKeyEvent"));
    void* display = openDisplay && keycodeOf && closeDisplay && fakeKey ? openDisplay(nullptr) : nullptr;
    if (!display)
        return false;
    constexpr unsigned long controlKey = 0xffe3, commaKey = 0x2c;
    const std::pair<unsigned long, int> presses[] = { { controlKey, 1 }, { commaKey, 1 }, { commaKey, 0 }, { controlKey, 0 } };
    for (const auto& [key, down] : presses)
        fakeKey(display, keycodeOf(display, key), down, 0);
    closeDisplay(display); // flushes the events
    return true;
}

} // namespace

// The built program on private buses with the recording helper, and the copy of
// it that runs until the end of the test.
class ProgramOnBuses {
public:
    ProgramOnBuses() { QFile::remove(log); }
    ~ProgramOnBuses()
    {
        if (running.state() == QProcess::NotRunning)
            return;
        running.terminate();
        running.waitForFinished(20000);
    }
    bool hasBuses() const { return !session.address().isEmpty() && !system.address().isEmpty(); }

    void start(QProcess& application, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), session.address());
        environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), system.address());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
        application.setProcessEnvironment(environment);
        application.start(QStringLiteral(KOVA_XML_PROGRAM), arguments);
        ASSERT_TRUE(application.waitForStarted());
    }
    // Starts the running copy and waits until it has launched: the start panel
    // is loaded after the windows are shown and the signals taken.
    void launch(const QStringList& arguments = {})
    {
        start(running, arguments);
        EXPECT_TRUE(waitUntil([&] { return logText().contains("loaded the start panel"); })) << logText().toStdString();
    }
    QString logText() const { return QString::fromUtf8(readFile(log)); }

    const std::shared_ptr<platform::UserDefaults> preferences = platform::UserDefaults::initWithSuiteName(QStringLiteral("KOVA-XML"));
    QProcess running;

private:
    PrivateSessionBus session;
    HelperSystemBus system { QStringLiteral(KOVA_RECORDING_HELPER), QStringLiteral(KOVA_HELPER_POLICY) };
    const QString log = platform::StandardPaths::path(platform::StandardPaths::Folder::Logs) + QStringLiteral("/Kova/KOVA-XML.log");
};

// Both windows recorded as open: it launches, shows them (on X: maps them), and
// a SIGTERM quits it with status 0 without recording them as closed.
TEST(ApplicationProcess, ATerminatedApplicationReopensItsWindowsAndExitsCleanly)
{
    if (startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    ProgramOnBuses program;
    ASSERT_TRUE(program.hasBuses());
    ASSERT_TRUE(program.preferences->setBool(true, AppDelegate::keyProcessorVisible));
    ASSERT_TRUE(program.preferences->setBool(true, AppDelegate::keyEditorVisible));
    program.launch();
    EXPECT_TRUE(program.logText().contains("-[AppDelegate applicationDidFinishLaunching:]"));
    if (onX()) {
        EXPECT_TRUE(waitUntil([] {
            const QString windows = mappedWindows();
            return windows.contains(QStringLiteral("\"KOVA-XML Processor\"")) && windows.contains(QStringLiteral("\"Template Editor\""));
        })) << mappedWindows().toStdString();
    }
    ::kill(pid_t(program.running.processId()), SIGTERM);
    ASSERT_TRUE(program.running.waitForFinished(20000));
    EXPECT_EQ(program.running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.running.exitCode(), 0) << program.logText().toStdString();
    EXPECT_TRUE(program.logText().contains("-[AppDelegate applicationWillTerminate:]"));
    EXPECT_TRUE(program.preferences->boolForKey(AppDelegate::keyProcessorVisible));
    EXPECT_TRUE(program.preferences->boolForKey(AppDelegate::keyEditorVisible));
}

// A start takes the items named on its command line (relative ones taken
// against its own working folder) into its job folder. A second start hands its items to the
// running copy and ends with 0 when every item was taken, else with 1, naming
// each refused item on standard error and in the running copy's log.
TEST(ApplicationProcess, AStartTakesItsItemsAndASecondStartHandsThemToTheRunningCopy)
{
    if (startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    ProgramOnBuses program;
    ASSERT_TRUE(program.hasBuses());
    ScratchFolder incoming;
    for (const char* bundle : { "Order 0.kovajob", "Order 1.kovajob", "Order 2.kovajob" }) {
        ASSERT_TRUE(QDir().mkpath(incoming.path(QString::fromUtf8(bundle))));
        ASSERT_TRUE(writeFile(incoming.path(QString::fromUtf8(bundle) + QStringLiteral("/job.xml")), "<data/>"));
    }
    ASSERT_TRUE(writeFile(incoming.path(QStringLiteral("loose.xml")), "<data/>"));
    program.running.setWorkingDirectory(incoming.path());
    program.launch({ QStringLiteral("Order 0.kovajob") });
    const QString firstTaken = QStringLiteral("moved %1 into the job folder").arg(incoming.path(QStringLiteral("Order 0.kovajob")));
    EXPECT_TRUE(waitUntil([&] { return program.logText().contains(firstTaken); })) << program.logText().toStdString();

    const struct {
        QStringList items;
        int status;
        QStringList taken, refused;
    } cases[] = {
        { { QStringLiteral("Order 1.kovajob") }, 0, { QStringLiteral("Order 1.kovajob") }, {} },
        { { incoming.path(QStringLiteral("Order 2.kovajob")), QStringLiteral("loose.xml") }, 1,
            { QStringLiteral("Order 2.kovajob") }, { QStringLiteral("loose.xml") } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items.join(QLatin1Char(' ')).toStdString());
        QProcess second;
        second.setWorkingDirectory(incoming.path());
        program.start(second, c.items);
        ASSERT_TRUE(second.waitForFinished(60000));
        const QString errors = QString::fromUtf8(second.readAllStandardError());
        EXPECT_EQ(second.exitCode(), c.status) << errors.toStdString();
        for (const QString& name : c.taken) {
            EXPECT_FALSE(QFileInfo::exists(incoming.path(name)));
            EXPECT_TRUE(program.logText().contains(QStringLiteral("moved %1 into the job folder").arg(incoming.path(name))));
        }
        for (const QString& name : c.refused) {
            const QString line = QStringLiteral("%1 stays where it is: not a job bundle").arg(incoming.path(name));
            EXPECT_TRUE(QFileInfo::exists(incoming.path(name)));
            EXPECT_TRUE(errors.contains(line)) << errors.toStdString();
            EXPECT_TRUE(program.logText().contains(line));
        }
    }
    EXPECT_EQ(program.running.state(), QProcess::Running);
}

// Under the window manager the smoke run starts on the X display, the windows'
// frames, title bars included, lie inside the screen: the two reopened at launch
// and the preferences, opened with their shortcut.
TEST(ApplicationProcess, UnderAWindowManagerEveryWindowsFrameLiesInsideTheScreen)
{
    if (!onX() || !qEnvironmentVariableIsSet("KOVA_TEST_WINDOW_MANAGER"))
        GTEST_SKIP() << "needs an X display with a window manager (the smoke run)";
    ProgramOnBuses program;
    ASSERT_TRUE(program.hasBuses());
    ASSERT_TRUE(waitUntil(windowManagerRuns));
    ASSERT_TRUE(program.preferences->setBool(true, AppDelegate::keyProcessorVisible));
    ASSERT_TRUE(program.preferences->setBool(true, AppDelegate::keyEditorVisible));
    program.launch();
    const QStringList titles { QStringLiteral("KOVA-XML Processor"), QStringLiteral("Template Editor") };
    ASSERT_TRUE(waitUntil([&] { return !frameOf(titles[0]).isEmpty() && !frameOf(titles[1]).isEmpty(); })) << mappedWindows().toStdString();
    ASSERT_TRUE(pressPreferencesShortcut());
    ASSERT_TRUE(waitUntil([] { return !frameOf(QStringLiteral("Preferences")).isEmpty(); })) << mappedWindows().toStdString();
    const QRect screen = screenRect();
    for (const QString& title : titles + QStringList { QStringLiteral("Preferences") }) {
        const QRect frame = frameOf(title);
        EXPECT_TRUE(screen.contains(frame)) << title.toStdString() << " at " << frame.x() << "," << frame.y() << " "
                                            << frame.width() << "x" << frame.height();
    }
}

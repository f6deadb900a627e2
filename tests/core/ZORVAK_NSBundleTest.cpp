#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/ui/ZORVAK_NSBundleInstances.h"

#include "FileFixtures.h"
#include "PrivateSessionBus.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <unistd.h>

TEST(ZORVAK_NSBundle, LongDescriptionNamesVersionCompilerAndSystem)
{
    const QString plain = ZORVAK_NSBundle::longDescription();
    static const QRegularExpression shape(QStringLiteral("^KOVA - v[0-9]+\\.[0-9]+ \\(xc-\\S+ [0-9.]+ sdk-.+/Qt 6\\.[0-9.]+\\)$"));
    EXPECT_TRUE(shape.match(plain).hasMatch()) << plain.toStdString();
    EXPECT_EQ(ZORVAK_NSBundle::longDescriptionWithLabel(QStringLiteral("beta")),
        QString(plain).replace(QStringLiteral("KOVA - "), QStringLiteral("KOVA beta - ")));
}

namespace {
// A copy of the application, in a child process, prints "beep" when it beeps,
// "running" when it goes on, and "activated" each time it is asked to come
// forward; a running copy ends after the number of activations it is told.
// Every test process starts without a session bus, so the copy is told which,
// and the items it starts with ("|" between them).
const char kCopyVariable[] = "KOVA_TEST_COPY_ACTIVATIONS";
const char kCopyBusVariable[] = "KOVA_TEST_COPY_BUS";
const char kCopyItemsVariable[] = "KOVA_TEST_COPY_ITEMS";

void say(const char* line)
{
    const QByteArray text = QByteArray(line) + '\n';
    EXPECT_EQ(write(STDOUT_FILENO, text.constData(), size_t(text.size())), text.size());
}

class Copy {
public:
    Copy(const QString& busAddress, int activations, const QStringList& items = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(kCopyVariable), QString::number(activations));
        environment.insert(QLatin1String(kCopyBusVariable), busAddress);
        environment.insert(QLatin1String(kCopyItemsVariable), items.join(QLatin1Char('|')));
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=ZORVAK_NSBundleCopy.*") });
    }
    // Whether it ended with `status`, within a minute.
    bool endedWell(int status = 0)
    {
        const bool ended = kova::test::waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, std::chrono::minutes(1));
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == status;
    }
    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }
    int count(const QByteArray& line)
    {
        m_output += m_process.readAllStandardOutput();
        return int(m_output.split('\n').count(line));
    }

private:
    QProcess m_process;
    QByteArray m_output;
};
} // namespace

// Runs only as a copy started by the tests below; a copy that loses ends itself.
TEST(ZORVAK_NSBundleCopy, RunsTheCheck)
{
    if (!qEnvironmentVariableIsSet(kCopyVariable))
        GTEST_SKIP() << "runs as a copy started by ZORVAK_NSBundleInstances";
    setenv("DBUS_SESSION_BUS_ADDRESS", qgetenv(kCopyBusVariable).constData(), 1);
    int activations = 0;
    ZORVAK_NSBundle::setDuplicateInstanceActions({
        .beep = [] { say("beep"); },
        .exit = {},
        .activate = [&] { ++activations; say("activated"); },
    });
    const QString items = qEnvironmentVariable(kCopyItemsVariable);
    ZORVAK_NSBundle::checkForDuplicateRunningInstances(items.isEmpty() ? QStringList() : items.split(QLatin1Char('|')));
    say("running");
    const int expected = qEnvironmentVariableIntValue(kCopyVariable);
    EXPECT_TRUE(kova::test::waitUntil([&] { return activations >= expected; }, std::chrono::seconds(30)));
}

// Every copy here, this process included, meets on one private session bus.
class ZORVAK_NSBundleInstances : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bus = new kova::test::PrivateSessionBus;
        setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toLocal8Bit().constData(), 1);
    }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon did not start"; }

    static inline kova::test::PrivateSessionBus* bus = nullptr;
};

TEST_F(ZORVAK_NSBundleInstances, OfCopiesStartedTogetherOneRunsAndTheOthersActivateItAndEnd)
{
    constexpr int kCopies = 4;
    std::vector<std::unique_ptr<Copy>> copies;
    for (int i = 0; i < kCopies; ++i)
        copies.push_back(std::make_unique<Copy>(bus->address(), kCopies - 1));
    int running = 0, beeps = 0, activations = 0;
    for (const auto& copy : copies) {
        EXPECT_TRUE(copy->endedWell());
        running += copy->count("running");
        beeps += copy->count("beep");
        activations += copy->count("activated");
    }
    EXPECT_EQ(running, 1);
    EXPECT_EQ(beeps, kCopies - 1);
    EXPECT_EQ(activations, kCopies - 1);
}

// Leaves this process as the running copy: the last test of the suite. A copy
// started with items hands them over and ends with 0 only when all were taken.
TEST_F(ZORVAK_NSBundleInstances, FirstCopyGoesOnAndAnswersTheNext)
{
    int beeps = 0, activations = 0;
    QStringList opened;
    std::optional<int> exitStatus;
    ZORVAK_NSBundle::setDuplicateInstanceActions({
        .beep = [&] { ++beeps; },
        .exit = [&](int status) { exitStatus = status; },
        .activate = [&] { ++activations; },
        .open = [&](const QStringList& paths) {
            opened += paths;
            QStringList refused;
            for (const QString& path : paths) {
                if (path.endsWith(QStringLiteral(".xml")))
                    refused << path + QStringLiteral(" stays where it is: not a job bundle");
            }
            return refused;
        },
    });
    ZORVAK_NSBundle::checkForDuplicateRunningInstances();
    EXPECT_EQ(beeps, 0);
    EXPECT_FALSE(exitStatus);

    const struct {
        QStringList items;
        int status;
        QString named;
    } cases[] = {
        { {}, 0, {} },
        { { QStringLiteral("/in/a.kovajob") }, 0, {} },
        { { QStringLiteral("/in/b.kovajob"), QStringLiteral("/in/c.xml") }, 1, QStringLiteral("/in/c.xml stays where it is: not a job bundle") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items.join(QLatin1Char(' ')).toStdString());
        const int activatedBefore = activations;
        opened.clear();
        Copy second(bus->address(), 0, c.items);
        EXPECT_TRUE(second.endedWell(c.status));
        EXPECT_EQ(second.count("beep"), 1);
        EXPECT_EQ(second.count("running"), 0);
        EXPECT_EQ(activations, activatedBefore + 1);
        EXPECT_EQ(opened, c.items);
        if (!c.named.isEmpty())
            EXPECT_TRUE(second.errors().contains(c.named));
    }
    ZORVAK_NSBundle::setDuplicateInstanceActions({});
}

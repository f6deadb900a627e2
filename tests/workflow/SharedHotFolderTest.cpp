// Processors in separate processes on one hot folder, as two machines on a shared folder
// are: each ticket runs in one of them only, and a ticket a dead one held is run by the other.
#include "platform/files/FileClaim.h"

#include "SharedTree.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

namespace {

using kova::test::entries;
using kova::test::ticketName;
using kova::test::waitUntil;

constexpr const char* treeVariable = "KOVA_SHARED_TREE";
constexpr const char* holdVariable = "KOVA_SHARED_HOLD";
constexpr const char* startedMarker = "child started\n";
constexpr int ticketCount = 24;

// Runs only as a child of the tests below: a processor on the shared tree, until its hot
// folder is empty; then it tells its counters.
TEST(SharedHotFolderProcessor, RunsTheHotFolderUntilItIsEmpty)
{
    if (!qEnvironmentVariableIsSet(treeVariable))
        GTEST_SKIP() << "runs as a child of the SharedHotFolder tests";
    const kova::test::SharedTree tree(qEnvironmentVariable(treeVariable), ticketCount);
    tree.configureProcessor();
    const auto folder = tree.watchHotFolder();
    EXPECT_TRUE(waitUntil([&tree] { return tree.hotFolderIsEmpty() && !KOVA_JobFolders::isProcessing(); }, std::chrono::seconds(120)));
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setBool(false, key_kovaProcessorIsRunning);
    std::printf("counters: completed=%lld failed=%lld\n", defaults->integerForKey(key_kovaProcessorJobsCompleted),
                defaults->integerForKey(key_kovaProcessorJobsFailed));
    std::fflush(stdout);
}

// Runs only as a child of the test below: claims one ticket as a processor does while it
// runs it, and holds it until killed.
TEST(SharedHotFolderHolder, HoldsATicketUntilKilled)
{
    if (!qEnvironmentVariableIsSet(holdVariable))
        GTEST_SKIP() << "runs as a child of SharedHotFolder.AClaimLeftByAKilledProcessorIsTakenOver";
    platform::FileClaim::Outcome outcome = platform::FileClaim::Outcome::Failed;
    const auto claim = platform::FileClaim::tryClaim(qEnvironmentVariable(holdVariable), &outcome);
    ASSERT_TRUE(claim);
    std::fputs(startedMarker, stdout);
    std::fflush(stdout);
    ::pause();
}

class SharedHotFolder : public kova::test::SharedTreeTest<ticketCount> {
protected:
    QProcess& start(const char* variable, const QString& value, const QString& test)
    {
        return m_children.start(variable, value, test);
    }

    QProcess& startProcessor() { return start(treeVariable, m_folder.path(), QStringLiteral("SharedHotFolderProcessor.*")); }

    // The processor's counters, once it is done: completed plus failed, or -1.
    static qint64 filedBy(QProcess& child)
    {
        if (!child.waitForFinished(180000))
            return -1;
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        const auto counted = QRegularExpression(QStringLiteral("counters: completed=(\\d+) failed=(\\d+)")).match(output);
        EXPECT_TRUE(counted.hasMatch()) << output.toStdString();
        return counted.hasMatch() ? counted.captured(1).toLongLong() + counted.captured(2).toLongLong() : -1;
    }

    // Every ticket filed as completed, and delivered exactly once.
    void expectEachTicketDeliveredOnce() const
    {
        const QStringList delivered = m_tree.deliveries();
        QStringList tickets;
        for (int number = 1; number <= ticketCount; ++number)
            tickets.append(ticketName(number));
        EXPECT_EQ(delivered.join(QLatin1Char(' ')).toStdString(), tickets.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(entries(m_tree.path(QStringLiteral("Completed"))).size(), ticketCount);
        EXPECT_TRUE(entries(m_tree.path(QStringLiteral("Failed"))).isEmpty());
        EXPECT_TRUE(m_tree.hotFolderIsEmpty());
    }

};

TEST_F(SharedHotFolder, TwoProcessorsRunEachTicketOnce)
{
    QProcess& first = startProcessor();
    QProcess& second = startProcessor();
    const qint64 filedByFirst = filedBy(first);
    const qint64 filedBySecond = filedBy(second);
    EXPECT_EQ(filedByFirst + filedBySecond, ticketCount) << filedByFirst << " and " << filedBySecond;
    expectEachTicketDeliveredOnce();
}

TEST_F(SharedHotFolder, AClaimLeftByAKilledProcessorIsTakenOver)
{
    const QString held = m_tree.path(QStringLiteral("Hot/%1.xml").arg(ticketName(1)));
    QProcess& holder = start(holdVariable, held, QStringLiteral("SharedHotFolderHolder.*"));
    while (!holder.peek(1 << 20).contains(startedMarker))
        ASSERT_TRUE(holder.waitForReadyRead(30000));
    QProcess& processor = startProcessor();
    // The processor runs every other ticket and leaves the held one alone.
    QElapsedTimer clock;
    clock.start();
    while (entries(m_tree.path(QStringLiteral("Completed"))).size() < ticketCount - 1 && clock.elapsed() < 120000)
        processor.waitForFinished(100);
    EXPECT_EQ(entries(m_tree.path(QStringLiteral("Hot"))), QStringList{ticketName(1) + QStringLiteral(".xml")});
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(filedBy(processor), ticketCount);
    expectEachTicketDeliveredOnce();
}

} // namespace

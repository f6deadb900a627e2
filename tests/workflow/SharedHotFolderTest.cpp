// Processors in separate processes on one hot folder, as two machines on a shared folder
// are: each ticket runs in one of them only, and a ticket a dead one held is run by the other.
#include "core/foundation/KOVA_Constants.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FileClaim.h"
#include "platform/files/FileOperations.h"
#include "workflow/folders/KOVA_JobFolders.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include "FileFixtures.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

using kova::test::waitUntil;

const QString examples = QStringLiteral(KOVA_EXAMPLES_DIR);
constexpr const char* treeVariable = "KOVA_SHARED_TREE";
constexpr const char* holdVariable = "KOVA_SHARED_HOLD";
constexpr const char* startedMarker = "child started\n";
constexpr int ticketCount = 24;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

QString ticketName(int number)
{
    return QStringLiteral("ticket-%1").arg(number, 2, 10, QLatin1Char('0'));
}

// The tree the processes share: the hot folder with its tickets, the completed and failed
// folders, the print centre's hot folder, and one picture per ticket: each run of a
// ticket delivers a print job named after its picture and the moment.
class SharedTree {
public:
    explicit SharedTree(const QString& root)
        : m_root(root)
    {
    }
    QString path(const QString& relative) const { return m_root + QLatin1Char('/') + relative; }

    bool make() const
    {
        for (const char* folder : {"Hot", "Completed", "Failed", "Delivered", "Incoming", "Images"}) {
            if (!QDir().mkpath(path(QString::fromLatin1(folder))))
                return false;
        }
        for (int number = 1; number <= ticketCount; ++number) {
            const QString image = path(QStringLiteral("Images/%1.jpg").arg(ticketName(number)));
            const QString written = path(QStringLiteral("Incoming/%1.xml").arg(ticketName(number)));
            if (!platform::FileOperations::copyItem(examples + QStringLiteral("/Images/Harbour.jpg"), image)
                || !kova::test::writeFile(written, ticket(image))
                || !platform::FileOperations::moveItemNoReplace(written, path(QStringLiteral("Hot/%1.xml").arg(ticketName(number)))))
                return false;
        }
        return true;
    }

    // What a processor of the tree reads from its own preferences.
    void configureProcessor() const
    {
        const auto defaults = platform::UserDefaults::standardUserDefaults();
        defaults->setURL(QUrl::fromLocalFile(examples + QStringLiteral("/Templates")), key_kovaFolderTemplates);
        defaults->setURL(QUrl::fromLocalFile(path(QStringLiteral("Completed"))), key_kovaFolderJobsCompleted);
        defaults->setURL(QUrl::fromLocalFile(path(QStringLiteral("Failed"))), key_kovaFolderJobsFailed);
        platform::UserDefaults::initWithSuiteName(KOVA_OutputPrintCentreDelivery::PressoriaSuiteName)
            ->setURL(QUrl::fromLocalFile(path(QStringLiteral("Delivered"))), KOVA_OutputPrintCentreDelivery::HotFolderKey);
        defaults->setBool(true, key_kovaProcessorIsRunning);
    }

    bool hotFolderIsEmpty() const { return entries(path(QStringLiteral("Hot"))).isEmpty(); }

private:
    static QByteArray ticket(const QString& image)
    {
        return QStringLiteral("<data type=\"kova_job\" version=\"1.0\"><package type=\"inline\" name=\"Card\">"
                              "<template name=\"Postcard\"><filepath>Postcard.xml</filepath></template>"
                              "<output size=\"{600, 400}\"><destination type=\"printer\"><printer>2</printer><papersize>6x4</papersize>"
                              "</destination></output>"
                              "<image1>%1</image1></package></data>")
            .arg(image)
            .toUtf8();
    }

    QString m_root;
};

// Runs only as a child of the tests below: a processor on the shared tree, until its hot
// folder is empty; then it tells its counters.
TEST(SharedHotFolderProcessor, RunsTheHotFolderUntilItIsEmpty)
{
    if (!qEnvironmentVariableIsSet(treeVariable))
        GTEST_SKIP() << "runs as a child of the SharedHotFolder tests";
    const SharedTree tree(qEnvironmentVariable(treeVariable));
    tree.configureProcessor();
    ASSERT_TRUE(waitUntil([] {
        const auto folders = KOVA_JobFolders::jobFolders();
        return std::all_of(folders.cbegin(), folders.cend(), [](const auto& folder) { return folder->hasFileEvent(); });
    }));
    const auto folder = std::make_shared<KOVA_JobFolders>(QStringLiteral("Shared"), QUrl::fromLocalFile(tree.path(QStringLiteral("Hot"))));
    folder->setJobFileUTType(QStringLiteral("public.xml"));
    KOVA_JobFolders::classSide().addFolderSet(folder);
    folder->configureJobsFolder();
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

class SharedHotFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kova::test::startsNoChildProcesses)
            GTEST_SKIP() << "starts child processes";
        ASSERT_TRUE(m_tree.make());
    }

    void TearDown() override
    {
        for (const auto& child : m_children) {
            child->kill();
            child->waitForFinished();
        }
    }

    QProcess& start(const char* variable, const QString& value, const QString& test)
    {
        m_children.push_back(std::make_unique<QProcess>());
        QProcess& child = *m_children.back();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(variable), value);
        const QString temporary = kova::test::sandboxRoot() + QStringLiteral("/children");
        QDir().mkpath(temporary);
        environment.insert(QStringLiteral("TMPDIR"), temporary);
        child.setProcessEnvironment(environment);
        // Nobody reads the log while waiting for another child: a full pipe would stop it.
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
        return child;
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
        QStringList delivered;
        for (QString name : entries(m_tree.path(QStringLiteral("Delivered"))))
            delivered.append(name.section(QLatin1Char('.'), 0, 0));
        QStringList tickets;
        for (int number = 1; number <= ticketCount; ++number)
            tickets.append(ticketName(number));
        EXPECT_EQ(delivered.join(QLatin1Char(' ')).toStdString(), tickets.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(entries(m_tree.path(QStringLiteral("Completed"))).size(), ticketCount);
        EXPECT_TRUE(entries(m_tree.path(QStringLiteral("Failed"))).isEmpty());
        EXPECT_TRUE(m_tree.hotFolderIsEmpty());
    }

    kova::test::ScratchFolder m_folder;
    SharedTree m_tree{m_folder.path()};
    std::vector<std::unique_ptr<QProcess>> m_children;
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

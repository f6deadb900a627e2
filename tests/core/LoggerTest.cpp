#include "core/logging/Logger.h"

#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/Log.h"

#include "FixedTimeZone.h"
#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using kova::test::startsNoChildProcesses;

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeToStandardError(const QByteArray& bytes)
{
    ASSERT_TRUE(platform::Log::writeAll(STDERR_FILENO, bytes));
}
} // namespace

// Capturing standard error is process-wide, so every test here points descriptor
// 2 at a console file of its own first and gives the real one back at the end.
class LoggerCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        savedStandardError = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        const int console = ::open(QFile::encodeName(consolePath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(console, 0);
        ::dup2(console, STDERR_FILENO);
        ::close(console);
        descriptorsBefore = openDescriptors();
    }
    void TearDown() override
    {
        EXPECT_TRUE(Logger::stopCapturing());
        Logger::setLogLevel(0);
        Logger::setClock(nullptr);
        ::dup2(savedStandardError, STDERR_FILENO);
        ::close(savedStandardError);
    }

    static qsizetype openDescriptors() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); }
    bool standardErrorIsConsole() const
    {
        struct stat standardError {}, console {};
        return ::fstat(STDERR_FILENO, &standardError) == 0 && ::stat(QFile::encodeName(consolePath).constData(), &console) == 0
            && standardError.st_ino == console.st_ino;
    }
    QString logPath(const QString& name) const { return folder.filePath(name); }
    QUrl logUrl(const QString& name) const { return QUrl::fromLocalFile(logPath(name)); }

    QTemporaryDir folder{kova::test::sandboxRoot() + QStringLiteral("/logger-XXXXXX")};
    const QString consolePath = folder.filePath(QStringLiteral("console.txt"));
    int savedStandardError = -1;
    qsizetype descriptorsBefore = 0;
};

TEST_F(LoggerCapture, OwnLinesCarryTimeQueueLabelAndMessage)
{
    FixedTimeZone zone("Europe/Berlin");
    const auto bannerFromTestQueue = [] {
        ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("Logger-test"))->sync([] { Logger::setError(QStringLiteral("banner text")); });
    };
    Logger::setLogFile(logUrl(QStringLiteral("own.log")));
    Logger::setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(9, 42, 8, 123)); });
    bannerFromTestQueue();
    std::thread([] { Logger::setError(QStringLiteral("from a plain thread")); }).join();
    Logger::setClock(nullptr);
    bannerFromTestQueue();
    ASSERT_TRUE(Logger::stopCapturing());

    const QStringList lines = QString::fromUtf8(read(logPath(QStringLiteral("own.log")))).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("2026-12-08 09:42:08.123[Q Logger-test] banner text"));
    EXPECT_EQ(lines[1], QStringLiteral("2026-12-08 09:42:08.123[Q ] from a plain thread"));
    const auto present = QRegularExpression(QStringLiteral("^(.{23})\\[Q Logger-test\\] banner text$")).match(lines[2]);
    ASSERT_TRUE(present.hasMatch()) << lines[2].toStdString();
    const QDateTime stamp = QDateTime::fromString(present.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    EXPECT_LE(qAbs(stamp.secsTo(QDateTime::currentDateTime())), 60);
}

TEST_F(LoggerCapture, LevelsChooseWhichLinesAreWritten)
{
    Logger::setLogFile(logUrl(QStringLiteral("levels.log")));
    for (qint64 level : {0, 1, 2}) {
        Logger::setLogLevel(level);
        EXPECT_EQ(Logger::logLevel(), level);
        Logger::setError(QStringLiteral("error %1").arg(level));
        Logger::setDebug(QStringLiteral("debug %1").arg(level));
        Logger::setVerbose(QStringLiteral("verbose %1").arg(level));
    }
    ASSERT_TRUE(Logger::stopCapturing());

    QStringList messages;
    for (const QString& line : QString::fromUtf8(read(logPath(QStringLiteral("levels.log")))).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        messages.append(line.section(QStringLiteral("] "), 1));
    EXPECT_EQ(messages, QStringList({"error 0", "error 1", "debug 1", "error 2", "debug 2", "verbose 2"}));
}

TEST_F(LoggerCapture, CapturesEverythingUntilStoppedThenRestoresStandardError)
{
    const QString path = logPath(QStringLiteral("Logs/Kova/capture.log"));
    Logger::setLogFile(QUrl::fromLocalFile(path));
    EXPECT_EQ(Logger::logFile(), QUrl::fromLocalFile(path));
    EXPECT_FALSE(standardErrorIsConsole());

    platform::Log::log(QStringLiteral("through the log function"));
    const QByteArray bulk(300 * 1024, 'z'); // more than a pipe holds: the end is still on its way when stopping
    std::thread([&bulk] { writeToStandardError(bulk); }).join();
    ASSERT_TRUE(Logger::stopCapturing());
    writeToStandardError("after the capture\n");

    EXPECT_TRUE(standardErrorIsConsole());
    EXPECT_TRUE(Logger::logFile().isEmpty());
    const QByteArray log = read(path);
    const QRegularExpression logLine(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} %1\\[%2:\\d+\\] through the log function\n")
                                         .arg(platform::Log::processName())
                                         .arg(::getpid()));
    EXPECT_TRUE(logLine.match(QString::fromUtf8(log)).hasMatch()) << log.left(200).constData();
    EXPECT_TRUE(log.endsWith(bulk));
    const QByteArray console = read(consolePath);
    EXPECT_TRUE(console.contains("Logger::setLogFile") && console.contains(QUrl::fromLocalFile(path).toEncoded()));
    EXPECT_TRUE(console.endsWith("after the capture\n"));
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

TEST_F(LoggerCapture, SecondLogFileTakesOverCleanly)
{
    QFile earlier(logPath(QStringLiteral("first.log")));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("from an earlier launch\n") > 0);
    earlier.close();

    Logger::setLogFile(logUrl(QStringLiteral("first.log")));
    writeToStandardError("one\n");
    Logger::setLogFile(logUrl(QStringLiteral("second.log")));
    writeToStandardError("two\n");
    EXPECT_EQ(Logger::logFile(), logUrl(QStringLiteral("second.log")));
    ASSERT_TRUE(Logger::stopCapturing());

    const QByteArray first = read(logPath(QStringLiteral("first.log")));
    EXPECT_TRUE(first.startsWith("from an earlier launch\none\n"));
    EXPECT_FALSE(first.contains("two"));
    EXPECT_EQ(read(logPath(QStringLiteral("second.log"))), QByteArray("two\n"));
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

TEST_F(LoggerCapture, UnusableLogFileLeavesStandardErrorAsItWas)
{
    QFile blocker(logPath(QStringLiteral("blocker"))); // a file where the log's folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Logger::setLogFile(logUrl(QStringLiteral("blocker/unopenable.log")));

    // The user's library folder cannot be made below a file, so there is no default log.
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(logPath(QStringLiteral("blocker/state"))));
    EXPECT_TRUE(Logger::defaultLogFile().isEmpty());
    Logger::setLogFile(QUrl());
    qputenv("XDG_STATE_HOME", state);

    EXPECT_TRUE(Logger::logFile().isEmpty());
    EXPECT_TRUE(standardErrorIsConsole());
    const QByteArray console = read(consolePath);
    EXPECT_TRUE(console.contains("an io error has occurred: Error Domain=NSPOSIXErrorDomain Code=20 \"make error (log path) in "));
    EXPECT_TRUE(console.contains("Failed to pass (or make) a URL static void Logger::setLogFile(const QUrl&): ((null))"));
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
}

TEST_F(LoggerCapture, ChildStillHoldingStandardErrorKeepsWritingToTheLog)
{
    if (startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    Logger::setLogFile(logUrl(QStringLiteral("child.log")));
    {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("cat >/dev/null; echo child after stop >&2")});
        ASSERT_TRUE(child.waitForStarted());

        EXPECT_FALSE(Logger::stopCapturing(std::chrono::milliseconds(200))); // the child holds the pipe
        EXPECT_TRUE(standardErrorIsConsole());
        writeToStandardError("parent after stop\n");
        child.closeWriteChannel();
        ASSERT_TRUE(child.waitForFinished());
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit); // no broken pipe
    }
    EXPECT_TRUE(kova::test::waitUntil([&] { return read(logPath(QStringLiteral("child.log"))).contains("child after stop\n"); }));
    EXPECT_TRUE(kova::test::waitUntil([&] { return openDescriptors() == descriptorsBefore; }));
    EXPECT_TRUE(read(consolePath).endsWith("parent after stop\n"));
}

TEST(LoggerDefaultLogFile, IsNamedAfterTheProcessInTheUsersLogsFolder)
{
    const QString logs = qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/Logs/");
    const QString name = platform::Log::processName() + QStringLiteral(".log");
    EXPECT_EQ(Logger::defaultLogFile(), QUrl::fromLocalFile(logs + name));
    EXPECT_EQ(Logger::defaultLogFileWithinSubdirectory(QStringLiteral("Kova")), QUrl::fromLocalFile(logs + QStringLiteral("Kova/") + name));
}

namespace {
const char exitChildVariable[] = "KOVA_LOGGER_EXIT_CHILD_LOG";
const qsizetype exitBulkSize = 1024 * 1024;
} // namespace

// Runs only as the child of the test below: exits straight after its last output.
TEST(LoggerExitChild, WritesAndExits)
{
    if (!qEnvironmentVariableIsSet(exitChildVariable))
        GTEST_SKIP() << "runs as the child of LoggerAtExit";
    Logger::setLogFile(QUrl::fromLocalFile(qEnvironmentVariable(exitChildVariable)));
    std::fwrite(QByteArray(exitBulkSize, 'z').constData(), 1, size_t(exitBulkSize), stderr);
    Logger::setError(QStringLiteral("last own line"));
    std::exit(0);
}

TEST(LoggerAtExit, WritesOutWhatIsOnItsWay)
{
    if (startsNoChildProcesses)
        GTEST_SKIP() << "starts a child process";
    QTemporaryDir folder(kova::test::sandboxRoot() + QStringLiteral("/exit-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("exit.log"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(exitChildVariable), path);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=LoggerExitChild.*")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0);

    const QByteArray log = read(path);
    EXPECT_EQ(log.count('z'), exitBulkSize);
    EXPECT_TRUE(log.endsWith("] last own line\n")) << log.right(200).constData();
}

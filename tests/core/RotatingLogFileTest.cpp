#include "core/logging/RotatingLogFile.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

class RotatingLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        report = ::open(QFile::encodeName(reportPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(report, 0);
    }
    void TearDown() override { ::close(report); }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Appends from outside, as another process sharing the log would.
    static void appendFiller(const QString& path, qint64 size)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        ASSERT_EQ(file.write(QByteArray(size, 'f')), size);
    }

    QTemporaryDir folder{kova::test::sandboxRoot() + QStringLiteral("/rotating-XXXXXX")};
    const QString logPath = folder.filePath(QStringLiteral("Logs/KOVA-XML.log"));
    const QString oldLogPath = folder.filePath(QStringLiteral("Logs/KOVA-XML.old.log"));
    const QString reportPath = folder.filePath(QStringLiteral("report.txt"));
    int report = -1;
    static constexpr qint64 limit = RotatingLogFile::rotationSize;
};

TEST_F(RotatingLog, OldLogNameDropsTheExtensionAndAddsOldLog)
{
    EXPECT_EQ(RotatingLogFile::oldLogPath(QStringLiteral("/a/KOVA-XML.log")), QStringLiteral("/a/KOVA-XML.old.log"));
    EXPECT_EQ(RotatingLogFile::oldLogPath(QStringLiteral("/a/render.engine.log")), QStringLiteral("/a/render.engine.old.log"));
    EXPECT_EQ(RotatingLogFile::oldLogPath(QStringLiteral("/a/plain")), QStringLiteral("/a/plain.old.log"));
}

TEST_F(RotatingLog, RotatesOnceEachTimeAWriteReachesTheLimit)
{
    RotatingLogFile log(logPath, report);
    ASSERT_TRUE(log.open()); // makes the missing Logs folder
    appendFiller(logPath, limit - 2);

    log.append("a");
    EXPECT_EQ(QFileInfo(logPath).size(), limit - 1);
    EXPECT_FALSE(QFile::exists(oldLogPath));

    log.append("b"); // exactly at the limit
    EXPECT_EQ(QFileInfo(oldLogPath).size(), limit);
    EXPECT_TRUE(read(oldLogPath).endsWith("fab"));
    log.append("newer\n");
    log.append("newest\n");
    EXPECT_EQ(read(logPath), QByteArray("newer\nnewest\n"));

    appendFiller(logPath, limit);
    log.append("second\n"); // the second rotation replaces the first old log
    EXPECT_TRUE(read(oldLogPath).startsWith("newer\nnewest\nfff"));
    EXPECT_TRUE(read(oldLogPath).endsWith("fsecond\n"));
    EXPECT_EQ(QFileInfo(logPath).size(), 0);
    EXPECT_TRUE(read(reportPath).isEmpty());
}

TEST_F(RotatingLog, FailedRenameKeepsTheLogAndAppendsOnce)
{
    ASSERT_TRUE(QDir().mkpath(oldLogPath + QStringLiteral("/occupied")));
    RotatingLogFile log(logPath, report);
    ASSERT_TRUE(log.open());
    appendFiller(logPath, limit - 1);

    log.append("crossing\n");
    log.append("after\n");

    const QByteArray content = read(logPath);
    EXPECT_EQ(content.size(), limit - 1 + qint64(sizeof("crossing\nafter\n") - 1));
    EXPECT_TRUE(content.endsWith("fcrossing\nafter\n"));
    const QByteArray reported = read(reportPath);
    EXPECT_EQ(reported.count("Failed to move file"), 1) << reported.constData();
    EXPECT_TRUE(reported.contains("an io error has occurred: Error Domain=NSPOSIXErrorDomain Code=")) << reported.constData();
    EXPECT_TRUE(reported.contains(QUrl::fromLocalFile(logPath).toEncoded())) << reported.constData();
}

TEST_F(RotatingLog, UnopenableLogReportsOnceAndPassesTheOutputOn)
{
    const QString blocker = folder.filePath(QStringLiteral("blocker"));
    appendFiller(blocker, 1); // a file where the log's folder should be
    RotatingLogFile log(blocker + QStringLiteral("/KOVA-XML.log"), report);

    EXPECT_FALSE(log.open());
    log.append("first line\n");
    log.append("second line\n");

    const QByteArray reported = read(reportPath);
    EXPECT_EQ(reported.count("make error (log path) in "), 1) << reported.constData();
    EXPECT_TRUE(reported.contains("first line\nsecond line\n")) << reported.constData();
}

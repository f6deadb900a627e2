#include "core/foundation/ZORVAK_NSProcessInfo.h"

#include "core/foundation/ZORVAK_NSBundle.h"
#include "core/logging/Logger.h"

#include "FileFixtures.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {
// What the logger writes to standard error while `write` runs.
QString standardErrorOf(const std::function<void()>& write)
{
    const kova::test::ScratchFolder folder;
    const QString path = folder.path(QStringLiteral("stderr.txt"));
    const int saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int file = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDERR_FILENO);
    close(file);
    write();
    Logger::stopCapturing(); // waits for the logger's own lines
    dup2(saved, STDERR_FILENO);
    close(saved);
    return QString::fromUtf8(kova::test::readFile(path));
}
} // namespace

TEST(ZORVAK_NSProcessInfo, BannerIsOneLoggerLineOfAlignedRows)
{
    const QString written = standardErrorOf(ZORVAK_NSProcessInfo::logCurrentSystemInfo);
    const QStringList lines = written.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 20) << written.toStdString();
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("] "))) << lines.first().toStdString();

    const QString separator = QStringLiteral("    ") + QString(52, QLatin1Char('='));
    const QStringList rows = lines.mid(1, lines.size() - 2).filter(QRegularExpression(QStringLiteral("^    [|=]")));
    ASSERT_EQ(rows.size(), 19) << written.toStdString();
    EXPECT_EQ(rows.mid(0, 2), QStringList({ separator, separator }));
    EXPECT_EQ(rows.mid(17, 2), QStringList({ separator, separator }));
    EXPECT_EQ(rows.at(2), QStringLiteral("    | ") + ZORVAK_NSBundle::longDescription());
    EXPECT_TRUE(rows.at(4).startsWith(QStringLiteral("    | up "))) << rows.at(4).toStdString();

    const ZORVAK_SystemInfo info;
    EXPECT_EQ(rows.at(7), QStringLiteral("    |  CPU core count: %1 physical %2 logical (%3 active)")
                                .arg(info.cpuCountPhysical())
                                .arg(info.cpuCountLogical())
                                .arg(info.cpuCountActive()));
    EXPECT_EQ(rows.at(8), QStringLiteral("    | Physical memory: ") + *info.physical());
    // The memory labels line up at their colons, and every value is a size.
    for (const QString& row : rows.mid(7, 10))
        EXPECT_EQ(row.indexOf(QLatin1Char(':')), rows.at(7).indexOf(QLatin1Char(':'))) << row.toStdString();
    for (const QString& row : rows.mid(8, 9))
        EXPECT_TRUE(row.endsWith(QStringLiteral(" GB"))) << row.toStdString();
}

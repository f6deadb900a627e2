#include "platform/dispatch/DispatchThread.h"

#include "TestEnvironment.h"
#include "platform/dispatch/DispatchQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

namespace {
const char exitChildVariable[] = "KOVA_DISPATCH_EXIT_CHILD_FOLDER";
constexpr int childRuns = 8;
} // namespace

// Runs only as the child of the test below. Queue threads that used Qt's files
// and images end at staggered moments (a drained queue lets its thread go a
// little later) while the process shuts down: none of them may crash it.
TEST(DispatchThreadExitChild, ExitsWhileQueueThreadsEnd)
{
    if (!qEnvironmentVariableIsSet(exitChildVariable))
        GTEST_SKIP() << "runs as the child of DispatchThreadAtExit";
    const QString folder = qEnvironmentVariable(exitChildVariable);
    static std::atomic<int> written{0}; // outlives blocks still queued at the end
    QElapsedTimer elapsed;
    elapsed.start();
    for (int index = 0; elapsed.elapsed() < 80; ++index) {
        platform::DispatchQueue::createSerial()->async([path = folder + QStringLiteral("/%1.png").arg(index)] {
            QImage picture(64, 64, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            written += picture.save(path, "PNG") && !QImage(path).isNull() ? 1 : 0;
        });
        const int target = index + 1;
        while (written.load() < target && elapsed.elapsed() < 10000)
            ; // each thread has used Qt before the next starts
    }
    // Returning ends the process: the application object goes, then the static objects.
}

TEST(DispatchThreadAtExit, ThreadsEndingDuringExitDoNotCrashIt)
{
    if (kova::test::startsNoChildProcesses)
        GTEST_SKIP() << "starts child processes";
    for (int run = 0; run < childRuns; ++run) {
        QTemporaryDir folder(kova::test::sandboxRoot() + QStringLiteral("/exit-XXXXXX"));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(exitChildVariable), folder.path());
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=DispatchThreadExitChild.*")});
        ASSERT_TRUE(child.waitForFinished(60000));
        ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << "run " << run << " crashed";
        ASSERT_EQ(child.exitCode(), 0) << "run " << run;
    }
}

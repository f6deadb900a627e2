#include "core/logging/Logger.h"

#include "platform/files/StandardPaths.h"

#include "core/logging/StandardErrorCapture.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "core/text/UtsDateFormatter.h"
#include "platform/Log.h"

#include <QDir>

#include <atomic>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace {
// How long the exit waits for output still on its way to the log; it only runs
// out when a child process outlives this one and still holds its standard error.
constexpr std::chrono::seconds exitTimeout{1};

struct LoggerState {
    std::atomic<qint64> level{0};
    const ZORVAK_Dispatch::Queue writingQueue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("Logger-Writing"));

    std::mutex clockMutex;
    std::function<QDateTime()> clock;

    std::mutex captureMutex; // guards the capture and the log file
    std::unique_ptr<StandardErrorCapture> capture;
    QUrl logFile;
    bool exitHookInstalled = false;
};

// Never destroyed: the exit hook and the queues still use it while the process ends.
LoggerState& state()
{
    static auto* const loggerState = new LoggerState;
    return *loggerState;
}

// The user's "Library/Logs" folder. The library folder is made when missing; the
// "Logs" folder is made with the log file.
QString userLogsFolder()
{
    if (platform::StandardPaths::createdPath(platform::StandardPaths::Folder::Library, platform::StandardPaths::Domain::User).isEmpty())
        return {};
    return platform::StandardPaths::path(platform::StandardPaths::Folder::Logs);
}

QString describe(const QUrl& url)
{
    return url.isEmpty() ? QStringLiteral("(null)") : url.toString();
}

// Waits until the lines handed to the writing queue so far are written.
void waitForWriting(std::chrono::milliseconds timeout)
{
    auto written = std::make_shared<std::promise<void>>();
    std::future<void> done = written->get_future();
    state().writingQueue->async([written] { written->set_value(); });
    done.wait_for(timeout);
}

bool stopCapturingLocked(std::chrono::milliseconds timeout)
{
    waitForWriting(timeout);
    LoggerState& logger = state();
    if (!logger.capture)
        return true;
    const bool finished = logger.capture->stop(timeout);
    logger.capture.reset();
    logger.logFile.clear();
    return finished;
}
} // namespace

void Logger::setError(const QString& message)
{
    writeLine(message);
}

void Logger::setDebug(const QString& message)
{
    if (logLevel() > 0)
        writeLine(message);
}

void Logger::setVerbose(const QString& message)
{
    if (logLevel() >= 2)
        writeLine(message);
}

qint64 Logger::logLevel()
{
    return state().level.load();
}

void Logger::setLogLevel(qint64 level)
{
    state().level.store(level);
}

QUrl Logger::defaultLogFileWithinSubdirectory(const QString& subdirectory)
{
    QString folder = userLogsFolder();
    if (folder.isEmpty())
        return {};
    if (!subdirectory.isEmpty())
        folder += QLatin1Char('/') + subdirectory;
    return QUrl::fromLocalFile(folder + QLatin1Char('/') + platform::Log::processName() + QStringLiteral(".log"));
}

QUrl Logger::defaultLogFile()
{
    return defaultLogFileWithinSubdirectory({});
}

QUrl Logger::logFile()
{
    std::lock_guard lock(state().captureMutex);
    return state().logFile;
}

void Logger::setLogFile(const QUrl& url)
{
    platform::Log::log(QStringLiteral("%1 %2").arg(QLatin1String(Q_FUNC_INFO), describe(url)));
    QUrl target = url;
    if (target.isEmpty()) {
        target = defaultLogFile();
        platform::Log::log(QStringLiteral("%1 %2").arg(QLatin1String(Q_FUNC_INFO), describe(target)));
    }
    if (!target.isLocalFile()) {
        platform::Log::log(QStringLiteral("Failed to pass (or make) a URL %1: (%2)").arg(QLatin1String(Q_FUNC_INFO), describe(target)));
        return;
    }
    LoggerState& logger = state();
    std::lock_guard lock(logger.captureMutex);
    stopCapturingLocked(StandardErrorCapture::defaultStopTimeout);
    logger.capture = StandardErrorCapture::start(target.toLocalFile());
    if (!logger.capture)
        return;
    logger.logFile = target;
    if (!logger.exitHookInstalled)
        std::atexit([] { stopCapturing(exitTimeout); });
    logger.exitHookInstalled = true;
}

bool Logger::stopCapturing(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(state().captureMutex);
    return stopCapturingLocked(timeout);
}

void Logger::setClock(std::function<QDateTime()> now)
{
    std::lock_guard lock(state().clockMutex);
    state().clock = std::move(now);
}

QDateTime Logger::now()
{
    std::lock_guard lock(state().clockMutex);
    return state().clock ? state().clock() : QDateTime::currentDateTime();
}

void Logger::writeLine(const QString& message)
{
    const platform::DispatchQueue* queue = platform::DispatchQueue::current();
    const QString stamp = UtsDateFormatter(QStringLiteral("yyyy-MM-dd HH:mm:ss.SSS")).format(now());
    const QString line = stamp + QStringLiteral("[Q ") + (queue ? queue->label() : QString()) + QStringLiteral("] ") + message
        + QLatin1Char('\n');
    state().writingQueue->async([bytes = line.toUtf8()] { platform::Log::writeAll(STDERR_FILENO, bytes); });
}

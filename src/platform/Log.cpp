#include "platform/Log.h"

#include <QDateTime>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace platform::Log {
namespace {
QByteArray lineFor(const QString& message)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    const QString line = stamp + QLatin1Char(' ') + processName() + QLatin1Char('[') + QString::number(::getpid())
        + QLatin1Char(':') + QString::number(::gettid()) + QStringLiteral("] ") + message + QLatin1Char('\n');
    return line.toUtf8();
}
} // namespace

void log(const QString& message)
{
    logToDescriptor(STDERR_FILENO, message);
}

void error(const QString& message)
{
    log(QStringLiteral("ERROR: ") + message);
}

void logToDescriptor(int descriptor, const QString& message)
{
    writeAll(descriptor, lineFor(message));
}

bool writeAll(int descriptor, QByteArrayView bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        left -= written;
    }
    return true;
}

QString processName()
{
    return QString::fromLocal8Bit(program_invocation_short_name);
}

} // namespace platform::Log

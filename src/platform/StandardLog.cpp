#include "platform/StandardLog.h"

#include <QDateTime>

#include <cerrno>
#include <unistd.h>

namespace platform {

void standardLog(const QString& message)
{
    const QByteArray line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8()
        + ' ' + program_invocation_short_name + '[' + QByteArray::number(getpid()) + ':'
        + QByteArray::number(gettid()) + "] " + message.toUtf8() + '\n';
    // One write per line keeps lines of concurrent threads apart.
    for (qsizetype written = 0; written < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.constData() + written, size_t(line.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += n;
    }
}

} // namespace platform

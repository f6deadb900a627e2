#include "platform/Error.h"

#include <cstring>

namespace platform {

QString Error::description() const
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(message);
}

Error Error::fromErrno(int err, const QString& context)
{
    const QString text = QString::fromLocal8Bit(std::strerror(err));
    return Error{POSIXDomain, err, context.isEmpty() ? text : context + QStringLiteral(": ") + text};
}

} // namespace platform

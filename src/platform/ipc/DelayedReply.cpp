#include "platform/ipc/DelayedReply.h"

#include "platform/Log.h"

namespace platform {

DelayedReply::DelayedReply(QDBusConnection bus, const QDBusMessage& call)
    : m_bus(std::move(bus))
    , m_call(call)
{
    m_call.setDelayedReply(true);
}

void DelayedReply::send(const QVariantList& arguments) const
{
    if (!m_bus.send(m_call.createReply(arguments)))
        Log::error(QStringLiteral("could not send the reply to %1").arg(m_call.member()));
}

void DelayedReply::sendError(const QString& name, const QString& message) const
{
    if (!m_bus.send(m_call.createErrorReply(name, message)))
        Log::error(QStringLiteral("could not send the error reply to %1").arg(m_call.member()));
}

} // namespace platform

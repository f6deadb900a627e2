#include "service/engine/RenderingEngineAdaptor.h"

#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/ipc/ServiceDelegate.h"
#include "platform/Log.h"
#include "platform/ipc/BusPropertyList.h"
#include "platform/ipc/DelayedReply.h"

#include <QDBusError>

RenderingEngineAdaptor::RenderingEngineAdaptor(KOVA_RenderingEngine& engine, QObject* parent)
    : QObject(parent)
    , m_engine(engine)
{
}

void RenderingEngineAdaptor::answerLater(std::function<void()> work)
{
    // Counted from the moment of the call until the reply is sent, so the service
    // never ends between taking a call and answering it.
    const auto group = ServiceDelegate::group();
    group->enter();
    ZORVAK_Dispatch::performAsyncGlobal([group, work = std::move(work)] {
        work();
        group->leave();
    });
}

void RenderingEngineAdaptor::setObject(const QByteArray& value, const QString& key)
{
    const platform::DelayedReply reply(connection(), message());
    answerLater([this, value, key, reply] {
        platform::Error error;
        const QVariant decoded = platform::BusPropertyList::decode(value, &error);
        if (!error.isNull()) {
            platform::Log::error(QStringLiteral("not storing %1: %2").arg(key, error.description()));
            reply.sendError(QDBusError::errorString(QDBusError::InvalidArgs), error.description());
            return;
        }
        if (!m_engine.setObject(decoded, key, &error)) {
            reply.sendError(QDBusError::errorString(QDBusError::Failed), error.description());
            return;
        }
        reply.send();
    });
}

bool RenderingEngineAdaptor::jobTicketPath(const QString& path, QByteArray&)
{
    const platform::DelayedReply reply(connection(), message());
    answerLater([this, path, reply] {
        const KOVA_RenderingEngine::Result result = m_engine.jobTicketPath(path);
        reply.send({ result.success, platform::BusPropertyList::encodeError(result.error) });
    });
    return false;
}

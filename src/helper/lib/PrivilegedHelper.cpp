#include "helper/lib/PrivilegedHelper.h"

#include "platform/dispatch/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/ipc/BusPropertyList.h"

#include <QDBusError>
#include <QDBusMessage>
#include <unistd.h>

namespace kova::helper {

PrivilegedHelper::PrivilegedHelper(QDBusConnection connection, const KOVAFolderMaker& maker, ServiceDelegate& delegate)
    : m_connection(std::move(connection))
    , m_maker(maker)
    , m_delegate(delegate)
{
}

bool PrivilegedHelper::exportOnBus()
{
    const bool listening = m_connection.connect(QString(), QString(), FolderInterface, QStringLiteral("make"), this,
        SLOT(makeRequested()));
    if (!listening)
        platform::Log::log(QStringLiteral("ERROR %1 attempting to listen for %2.make")
                               .arg(m_connection.lastError().message(), FolderInterface));
    return m_connection.registerObject(QStringLiteral("/"), this, QDBusConnection::ExportScriptableSlots);
}

QString PrivilegedHelper::whoAmI()
{
    m_delegate.enterRequest();
    const QString answer = QStringLiteral("UID = %1").arg(getuid());
    m_delegate.leaveRequest();
    return answer;
}

double PrivilegedHelper::versionInterface()
{
    return interfaceVersion;
}

void PrivilegedHelper::makeKOVAFolder()
{
    setDelayedReply(true);
    const QDBusMessage request = message();
    QDBusConnection connection = m_connection;
    makeOnWorker([request, connection](const QString& url, const platform::Error& error) mutable {
        connection.send(request.createReply({ url, platform::BusPropertyList::encodeError(error) }));
    });
}

void PrivilegedHelper::makeRequested()
{
    platform::Log::log(QStringLiteral("makeRequested"));
    QDBusConnection connection = m_connection;
    makeOnWorker([connection](const QString& url, const platform::Error&) mutable {
        if (url.isEmpty())
            return;
        platform::Log::log(url);
        QDBusMessage made = QDBusMessage::createSignal(QStringLiteral("/"), FolderInterface, QStringLiteral("made"));
        made << KOVAFolderMaker::kovaFolderPath() << url;
        connection.send(made);
    });
}

void PrivilegedHelper::makeOnWorker(std::function<void(const QString&, const platform::Error&)> reply)
{
    m_delegate.enterRequest();
    platform::DispatchQueue::global()->async([this, reply = std::move(reply)] {
        platform::Error error;
        const QString url = m_maker.makeKOVAFolder(&error);
        reply(url, error);
        m_delegate.leaveRequest();
    });
}

} // namespace kova::helper

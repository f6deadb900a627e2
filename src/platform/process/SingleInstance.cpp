#include "platform/process/SingleInstance.h"

#include "platform/Log.h"
#include "platform/files/FileLock.h"
#include "platform/files/StandardPaths.h"
#include "platform/process/ApplicationActivation.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <cerrno>

namespace platform {
namespace {
// How long a second copy waits for the running one to answer before it ends.
constexpr int kActivationTimeoutMilliseconds = 5000;
// Taking items may copy them across file systems, so their answer may be slow.
constexpr int kOpenTimeoutMilliseconds = 120000;
} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QString name, std::function<void()> onActivate, OpenItems onOpen)
    : m_bus(std::move(bus))
    , m_name(std::move(name))
    , m_activation(std::make_unique<ApplicationActivation>(std::move(onActivate), std::move(onOpen)))
{
}

SingleInstance::~SingleInstance()
{
    if (m_ownsName) {
        m_bus.interface()->unregisterService(m_name);
        m_bus.unregisterObject(ApplicationActivation::kObjectPath);
    }
}

bool SingleInstance::claim()
{
    if (m_bus.isConnected()) {
        switch (claimBusName()) {
        case BusClaim::Owned: return true;
        case BusClaim::Taken: return false;
        case BusClaim::Failed: break;
        }
    }
    return claimLockFile();
}

SingleInstance::BusClaim SingleInstance::claimBusName()
{
    // The object is there before the name is ours, so a copy that loses the
    // claim can always reach it.
    if (!m_bus.registerObject(ApplicationActivation::kObjectPath, m_activation.get(), QDBusConnection::ExportAllSlots))
        Log::log(QStringLiteral("cannot offer activation at %1: %2").arg(ApplicationActivation::kObjectPath, m_bus.lastError().message()));
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_ownsName = true;
        return BusClaim::Owned;
    }
    m_bus.unregisterObject(ApplicationActivation::kObjectPath);
    if (reply.isValid())
        return BusClaim::Taken;
    Log::log(QStringLiteral("cannot claim the bus name %1, using a lock file: %2").arg(m_name, reply.error().message()));
    return BusClaim::Failed;
}

bool SingleInstance::claimLockFile()
{
    const QString path = lockFilePath(m_name);
    Error error;
    m_lock = FileLock::tryAcquire(path, &error);
    if (m_lock)
        return true;
    if (error.code == EWOULDBLOCK)
        return false;
    Log::log(QStringLiteral("running unchecked: %1").arg(error.message));
    return true;
}

bool SingleInstance::activateOwner() const
{
    if (!m_bus.isConnected())
        return false;
    const QDBusMessage reply = callOwner(QStringLiteral("activate"), {}, kActivationTimeoutMilliseconds);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    Log::log(QStringLiteral("the running copy of %1 did not answer: %2").arg(m_name, reply.errorMessage()));
    return false;
}

bool SingleInstance::openInOwner(const QStringList& paths, QStringList* refused, QString* error) const
{
    if (!m_bus.isConnected()) {
        *error = QStringLiteral("no session bus reaches the running copy of %1").arg(m_name);
        return false;
    }
    const QDBusMessage reply = callOwner(QStringLiteral("open"), { paths }, kOpenTimeoutMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
        *error = QStringLiteral("the running copy of %1 did not answer: %2").arg(m_name, reply.errorMessage());
        return false;
    }
    *refused = reply.arguments().constFirst().toStringList();
    return true;
}

QDBusMessage SingleInstance::callOwner(const QString& method, const QVariantList& arguments, int timeoutMilliseconds) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_name, ApplicationActivation::kObjectPath,
        ApplicationActivation::kInterface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return m_bus.call(call, QDBus::Block, timeoutMilliseconds);
}

QString SingleInstance::lockFilePath(const QString& name)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = StandardPaths::createdPath(StandardPaths::Folder::Library, StandardPaths::Domain::User);
    return folder + QLatin1Char('/') + name + QStringLiteral(".lock");
}

} // namespace platform

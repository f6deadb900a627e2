#include "platform/process/SingleInstance.h"

#include "platform/Log.h"
#include "platform/files/StandardPaths.h"
#include "platform/process/ApplicationActivation.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {
// How long a second copy waits for the running one to answer before it ends.
constexpr int kActivationTimeoutMilliseconds = 5000;

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QString name, std::function<void()> onActivate)
    : m_bus(std::move(bus))
    , m_name(std::move(name))
    , m_activation(std::make_unique<ApplicationActivation>(std::move(onActivate)))
{
}

SingleInstance::~SingleInstance()
{
    if (m_ownsName) {
        m_bus.interface()->unregisterService(m_name);
        m_bus.unregisterObject(ApplicationActivation::kObjectPath);
    }
    if (m_lockDescriptor >= 0)
        ::close(m_lockDescriptor);
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
    m_lockDescriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockDescriptor < 0) {
        Log::log(QStringLiteral("cannot open the lock file %1, running unchecked: %2").arg(path, systemError(errno)));
        return true;
    }
    if (::flock(m_lockDescriptor, LOCK_EX | LOCK_NB) == 0)
        return true;
    const int error = errno;
    ::close(m_lockDescriptor);
    m_lockDescriptor = -1;
    if (error == EWOULDBLOCK)
        return false;
    Log::log(QStringLiteral("cannot lock %1, running unchecked: %2").arg(path, systemError(error)));
    return true;
}

bool SingleInstance::activateOwner() const
{
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(m_name, ApplicationActivation::kObjectPath,
        ApplicationActivation::kInterface, QStringLiteral("activate"));
    call.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kActivationTimeoutMilliseconds);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    Log::log(QStringLiteral("the running copy of %1 did not answer: %2").arg(m_name, reply.errorMessage()));
    return false;
}

QString SingleInstance::lockFilePath(const QString& name)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = StandardPaths::createdPath(StandardPaths::Folder::Library, StandardPaths::Domain::User);
    return folder + QLatin1Char('/') + name + QStringLiteral(".lock");
}

} // namespace platform

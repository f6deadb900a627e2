#include "app/PrivilegedHelperClient.h"

#include "app/PendingCall.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/ipc/BusPropertyList.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QProcess>

using platform::Error;

namespace {

const QString helperPath = QStringLiteral("/");
const QString helperInterface = QStringLiteral("com.morvanta.KOVA.Helper");
constexpr auto reconnectDelay = std::chrono::seconds(1);

} // namespace

PrivilegedHelperClient::PrivilegedHelperClient(QDBusConnection bus, Installer installer)
    : m_bus(std::move(bus))
    , m_installer(std::move(installer))
{
}

QDBusMessage PrivilegedHelperClient::helperCall(const QString& method) const
{
    return QDBusMessage::createMethodCall(helperLabel, helperPath, helperInterface, method);
}

void PrivilegedHelperClient::connectToPrivilegedHelper()
{
    m_connected = true;
    std::weak_ptr<PrivilegedHelperClient> weak = weak_from_this();
    whenFinished(m_bus.asyncCall(helperCall(QStringLiteral("versionInterface"))), [weak](QDBusPendingCallWatcher& call) {
        auto self = weak.lock();
        if (!self || !self->m_connected)
            return;
        QDBusPendingReply<double> reply = call;
        if (reply.isError()) {
            self->m_needsRelaunch = false;
            self->invalidate(reply.error().name() + QLatin1Char(' ') + reply.error().message());
            return;
        }
        self->versionReceived(reply.value());
    });
}

void PrivilegedHelperClient::versionReceived(double version)
{
    if (version < minimumInterfaceVersion) {
        m_needsRelaunch = false;
        invalidate(QStringLiteral("interface version %1 below %2").arg(version).arg(minimumInterfaceVersion));
        return;
    }
    makeKOVAFolder();
}

void PrivilegedHelperClient::makeKOVAFolder()
{
    std::weak_ptr<PrivilegedHelperClient> weak = weak_from_this();
    whenFinished(m_bus.asyncCall(helperCall(QStringLiteral("makeKOVAFolder"))), [weak](QDBusPendingCallWatcher& call) {
        auto self = weak.lock();
        if (!self)
            return;
        QDBusPendingReply<QString, QByteArray> reply = call;
        if (reply.isError())
            self->folderReceived({}, { reply.error().name(), -1, reply.error().message() });
        else
            self->folderReceived(reply.argumentAt<0>(), platform::BusPropertyList::decodeError(reply.argumentAt<1>()));
    });
}

void PrivilegedHelperClient::folderReceived(const QString& url, const Error& error)
{
    if (!url.isEmpty())
        platform::Log::log(QStringLiteral("KOVA directory URL: %1").arg(url));
    else
        platform::Log::log(QStringLiteral("Error making KOVA directory:%1").arg(error.description()));
    cleanUpPrivilegedHelper();
}

void PrivilegedHelperClient::cleanUpPrivilegedHelper()
{
    m_connected = false;
}

void PrivilegedHelperClient::invalidate(const QString& reason)
{
    platform::Log::log(QStringLiteral("invalidated %1").arg(reason));
    m_connected = false;
    if (m_installed) {
        // A helper that is still missing or silent after its installation would
        // ask for a password at every round: go on without it.
        platform::Log::error(QStringLiteral("privileged helper unavailable after its installation; going on without it"));
        return;
    }
    m_installed = true;
    if (!installHelperWithLabel(helperLabel))
        return;
    std::weak_ptr<PrivilegedHelperClient> weak = weak_from_this();
    platform::DispatchQueue::main()->after(reconnectDelay, [weak] {
        if (auto self = weak.lock())
            self->connectToPrivilegedHelper();
    });
}

bool PrivilegedHelperClient::installHelperWithLabel(const QString& label, const ErrorBlock& errorBlock)
{
    Error error;
    if (label.isEmpty())
        error = { Error::CocoaDomain, -1, QStringLiteral("Failed to provide a required label") };
    else
        error = m_installer(label);
    if (error.isNull())
        return true;
    if (errorBlock)
        errorBlock(error);
    else
        platform::Log::error(error.description());
    return false;
}

Error PrivilegedHelperClient::runInstallStep(const QString&)
{
    QProcess install;
    install.start(QStringLiteral("pkexec"), { QStringLiteral(KOVA_HELPER_INSTALL_STEP) });
    if (!install.waitForStarted())
        return { Error::POSIXDomain, ENOENT, QStringLiteral("cannot start pkexec: %1").arg(install.errorString()) };
    install.waitForFinished(-1);
    if (install.exitStatus() != QProcess::NormalExit)
        return { Error::POSIXDomain, EINTR, QStringLiteral("the helper's install step crashed") };
    if (install.exitCode() != 0)
        return { QStringLiteral("OSStatus"), install.exitCode(), QStringLiteral("installing the privileged helper failed") };
    return {};
}

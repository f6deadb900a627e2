#include "helper/lib/HelperDaemon.h"

#include "platform/ipc/ServiceDelegate.h"
#include "helper/lib/KOVAFolderMaker.h"
#include "helper/lib/PrivilegedHelper.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

namespace kova::helper {

int HelperDaemon::run(FolderOwnership& ownership, const QString& administratorsGroup)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    ServiceDelegate delegate(bus, PrivilegedHelper::ServiceName, PrivilegedHelper::idleSeconds);
    const KOVAFolderMaker maker(ownership, administratorsGroup);
    PrivilegedHelper helper(bus, maker, delegate);
    if (!helper.exportOnBus() || !bus.registerService(PrivilegedHelper::ServiceName)) {
        platform::Log::error(QStringLiteral("Cannot serve %1 on the system bus: %2")
                                 .arg(PrivilegedHelper::ServiceName, bus.lastError().message()));
        return 1;
    }
    delegate.didComplete();
    return QCoreApplication::exec();
}

} // namespace kova::helper

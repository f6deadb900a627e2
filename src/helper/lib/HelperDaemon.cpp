#include "helper/lib/HelperDaemon.h"

#include "helper/lib/HelperLifetime.h"
#include "helper/lib/KOVAFolderMaker.h"
#include "helper/lib/PrivilegedHelper.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <cstdlib>

namespace kova::helper {

int HelperDaemon::run(FolderOwnership& ownership, const QString& administratorsGroup)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    HelperLifetime lifetime([bus]() mutable { bus.unregisterService(PrivilegedHelper::ServiceName); },
        [](int status) { std::exit(status); });
    const KOVAFolderMaker maker(ownership, administratorsGroup);
    PrivilegedHelper helper(bus, maker, lifetime);
    if (!helper.exportOnBus() || !bus.registerService(PrivilegedHelper::ServiceName)) {
        platform::Log::error(QStringLiteral("Cannot serve %1 on the system bus: %2")
                                 .arg(PrivilegedHelper::ServiceName, bus.lastError().message()));
        return 1;
    }
    lifetime.didComplete();
    return QCoreApplication::exec();
}

} // namespace kova::helper

#include "platform/ipc/ServiceDelegate.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/StandardPaths.h"
#include "service/engine/KOVA_RenderingEngine.h"
#include "service/engine/RenderingEngineAdaptor.h"
#include "workflow/processing/KOVA_Road.h"

#include <QDBusConnection>
#include <QGuiApplication>

#include <cstdlib>

// The rendering service, started by the session bus on the application's first
// call and ending itself after ten idle minutes.
int main(int argc, char** argv)
{
    // Outputs lay out text without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    platform::UserDefaults::setStandardDomain(KOVA_RenderingEngine::ServiceName);
    platform::StandardPaths::removeStaleItemReplacementFolders();
    KOVA_Road::install();

    QDBusConnection bus = QDBusConnection::sessionBus();
    ServiceDelegate serviceDelegate(bus, KOVA_RenderingEngine::ServiceName, KOVA_RenderingEngine::IdleSeconds);
    KOVA_RenderingEngine engine(serviceDelegate);
    RenderingEngineAdaptor adaptor(engine);
    if (!bus.registerObject(QStringLiteral("/"), &adaptor, QDBusConnection::ExportAllSlots)
        || !bus.registerService(KOVA_RenderingEngine::ServiceName)) {
        platform::Log::error(QStringLiteral("cannot offer %1 on the session bus: %2")
                                 .arg(KOVA_RenderingEngine::ServiceName, bus.lastError().message()));
        return 1;
    }
    // Nobody can reach a service whose bus has gone: it ends with it.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"), QStringLiteral("org.freedesktop.DBus.Local"),
        QStringLiteral("Disconnected"), &app, SLOT(quit()));
    return app.exec();
}

#include "core/ui/ZORVAK_NSBundleInstances.h"

#include "platform/Log.h"
#include "platform/process/SingleInstance.h"

#include <BundleInfo.h>

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace ZORVAK_NSBundle {
namespace {
void bringWindowsToFront()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!window->isVisible())
            continue;
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    }
}

QStringList refuseEveryItem(const QStringList& paths)
{
    QStringList refused;
    for (const QString& path : paths)
        refused << QStringLiteral("%1 stays where it is: the application is not ready to take items").arg(path);
    return refused;
}

DuplicateInstanceActions withDefaults(DuplicateInstanceActions actions)
{
    if (!actions.beep)
        actions.beep = [] { QApplication::beep(); };
    if (!actions.exit)
        actions.exit = [](int status) { std::exit(status); };
    if (!actions.activate)
        actions.activate = bringWindowsToFront;
    if (!actions.open)
        actions.open = refuseEveryItem;
    return actions;
}

std::mutex actionsMutex;
DuplicateInstanceActions& currentActions()
{
    static DuplicateInstanceActions actions = withDefaults({});
    return actions;
}

DuplicateInstanceActions actions()
{
    std::lock_guard lock(actionsMutex);
    return currentActions();
}

// The claim of the running copy: kept, never destroyed, until the process ends.
platform::SingleInstance* runningInstance = nullptr;

// Hands the items to the running copy: 0 when it took them all, else 1 once
// every refused item, or why the copy could not be reached, is on standard error.
int handOver(const platform::SingleInstance& instance, const QStringList& items)
{
    QStringList refused;
    QString error;
    if (!instance.openInOwner(items, &refused, &error)) {
        platform::Log::error(error);
        return 1;
    }
    for (const QString& line : refused)
        platform::Log::error(line);
    return refused.isEmpty() ? 0 : 1;
}
} // namespace

void checkForDuplicateRunningInstances(const QStringList& items)
{
    const QString operation = QStringLiteral("checkForDuplicateRunningInstances");
    platform::Log::log(QStringLiteral("ZORVAK_NSBundle-%1...").arg(operation));
    if (runningInstance)
        return;
    auto instance = std::make_unique<platform::SingleInstance>(QDBusConnection::sessionBus(),
        QLatin1String(BundleInfo::kIdentifier), [] { actions().activate(); },
        [](const QStringList& paths) { return actions().open(paths); });
    if (instance->claim()) {
        runningInstance = instance.release();
        return;
    }
    platform::Log::log(QStringLiteral("already running an instance of our app bundleIdentifier..."));
    actions().beep();
    platform::Log::log(QStringLiteral("Inside ZORVAK_NSBundle => %1...Another Instance of this app is already running...").arg(operation));
    if (items.isEmpty()) {
        instance->activateOwner();
        actions().exit(0);
        return;
    }
    actions().exit(handOver(*instance, items));
}

void setDuplicateInstanceActions(DuplicateInstanceActions replacement)
{
    std::lock_guard lock(actionsMutex);
    currentActions() = withDefaults(std::move(replacement));
}

} // namespace ZORVAK_NSBundle

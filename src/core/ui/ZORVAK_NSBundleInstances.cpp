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

DuplicateInstanceActions withDefaults(DuplicateInstanceActions actions)
{
    if (!actions.beep)
        actions.beep = [] { QApplication::beep(); };
    if (!actions.exit)
        actions.exit = [](int status) { std::exit(status); };
    if (!actions.activate)
        actions.activate = bringWindowsToFront;
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
} // namespace

void checkForDuplicateRunningInstances()
{
    const QString operation = QStringLiteral("checkForDuplicateRunningInstances");
    platform::Log::log(QStringLiteral("ZORVAK_NSBundle-%1...").arg(operation));
    if (runningInstance)
        return;
    auto instance = std::make_unique<platform::SingleInstance>(QDBusConnection::sessionBus(),
        QLatin1String(BundleInfo::kIdentifier), [] { actions().activate(); });
    if (instance->claim()) {
        runningInstance = instance.release();
        return;
    }
    platform::Log::log(QStringLiteral("already running an instance of our app bundleIdentifier..."));
    actions().beep();
    platform::Log::log(QStringLiteral("Inside ZORVAK_NSBundle => %1...Another Instance of this app is already running...").arg(operation));
    instance->activateOwner();
    actions().exit(0);
}

void setDuplicateInstanceActions(DuplicateInstanceActions replacement)
{
    std::lock_guard lock(actionsMutex);
    currentActions() = withDefaults(std::move(replacement));
}

} // namespace ZORVAK_NSBundle

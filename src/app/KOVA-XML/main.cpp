#include "app/AppDelegate.h"
#include "app/PrivilegedHelperClient.h"
#include "platform/files/StandardPaths.h"
#include "workflow/processing/KOVA_Road.h"

#include <QApplication>
#include <QDBusConnection>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    platform::StandardPaths::removeStaleItemReplacementFolders();
    KOVA_Road::install();
    AppDelegate::initialize();
    auto helper = std::make_shared<PrivilegedHelperClient>(QDBusConnection::systemBus());
    auto delegate = std::make_shared<AppDelegate>(QDBusConnection::sessionBus(), helper);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, [delegate] { delegate->applicationWillTerminate(); });
    delegate->applicationDidFinishLaunching();
    QList<QUrl> opened;
    for (const QString& argument : application.arguments().mid(1))
        opened << QUrl::fromLocalFile(argument);
    if (!opened.isEmpty())
        delegate->openURLs(opened);
    return application.exec();
}

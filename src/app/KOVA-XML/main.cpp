#include "app/delegate/AppDelegate.h"
#include "app/PrivilegedHelperClient.h"
#include "platform/files/StandardPaths.h"
#include "workflow/processing/KOVA_Road.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Ties the windows to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("com.morvanta.KOVA-XML"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.morvanta.KOVA-XML")));
    platform::StandardPaths::removeStaleItemReplacementFolders();
    KOVA_Road::install();
    AppDelegate::initialize();
    auto helper = std::make_shared<PrivilegedHelperClient>(QDBusConnection::systemBus());
    auto delegate = std::make_shared<AppDelegate>(QDBusConnection::sessionBus(), helper);
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [weakDelegate = std::weak_ptr<AppDelegate>(delegate)] {
                         if (const auto delegate = weakDelegate.lock())
                             delegate->applicationWillTerminate();
                     });
    delegate->applicationDidFinishLaunching();
    delegate->openPaths(AppDelegate::startItems());
    const int status = QApplication::exec();
    delegate.reset(); // its windows go before the application
    return status;
}

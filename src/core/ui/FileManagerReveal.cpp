#include "core/ui/FileManagerReveal.h"

#include "platform/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>

#include <mutex>

namespace {

struct Hooks {
    std::mutex mutex;
    FileManagerReveal::ShowItems showItems;
    FileManagerReveal::Opener opener;
};

Hooks& hooks()
{
    static Hooks installed;
    return installed;
}

void openContainingFolder(const QStringList& paths)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(paths.first()).absolutePath());
    FileManagerReveal::Opener opener;
    {
        const std::lock_guard lock(hooks().mutex);
        opener = hooks().opener;
    }
    const bool opened = opener ? opener(folder) : QDesktopServices::openUrl(folder);
    if (!opened)
        platform::Log::error(QStringLiteral("cannot open the folder %1").arg(folder.toLocalFile()));
}

void callShowItems(const QStringList& uris, const QStringList& paths)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [paths](QDBusPendingCallWatcher* finished) {
        if (finished->isError()) {
            platform::Log::log(QStringLiteral("no file manager shows items (%1); opening the folder")
                                   .arg(finished->error().message()));
            openContainingFolder(paths);
        }
        finished->deleteLater();
    });
}

} // namespace

void FileManagerReveal::revealItems(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    QStringList uris;
    for (const QString& path : paths)
        uris << QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
    ShowItems showItems;
    {
        const std::lock_guard lock(hooks().mutex);
        showItems = hooks().showItems;
    }
    if (!showItems)
        callShowItems(uris, paths);
    else if (!showItems(uris))
        openContainingFolder(paths);
}

void FileManagerReveal::setShowItemsHook(ShowItems showItems)
{
    const std::lock_guard lock(hooks().mutex);
    hooks().showItems = std::move(showItems);
}

void FileManagerReveal::setOpenerHook(Opener opener)
{
    const std::lock_guard lock(hooks().mutex);
    hooks().opener = std::move(opener);
}

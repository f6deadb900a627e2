#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

// Shows items selected in the desktop's file manager: asks
// org.freedesktop.FileManager1.ShowItems on the session bus, and when no file
// manager answers there, opens the folder that holds the first item.
class FileManagerReveal {
public:
    // Returns at once; the bus call and any fallback happen asynchronously.
    static void revealItems(const QStringList& paths);

    // Stand-ins for tests, so no real file manager opens: `showItems` replaces the
    // bus call (it answers whether a file manager took the request), `opener` the
    // opening of a folder. Null restores the real ones.
    using ShowItems = std::function<bool(const QStringList& uris)>;
    using Opener = std::function<bool(const QUrl& folder)>;
    static void setShowItemsHook(ShowItems showItems);
    static void setOpenerHook(Opener opener);
};

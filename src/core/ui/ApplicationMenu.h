#pragma once

#include <QList>

class QAction;
class QMenu;
class QMenuBar;

// The application menu every window's menu bar starts with, holding the actions
// the application shares among its windows (show a window, preferences, quit).
class ApplicationMenu {
public:
    static inline const char* const title = "KOVA-XML";

    // Adds the menu with `sharedActions` in their order (separator actions
    // included) at the front of `menuBar`, and the actions to its window so
    // their shortcuts work there; answers the menu.
    static QMenu* addTo(QMenuBar* menuBar, const QList<QAction*>& sharedActions);
};

#include "core/ui/ApplicationMenu.h"

#include <QMenuBar>

QMenu* ApplicationMenu::addTo(QMenuBar* menuBar, const QList<QAction*>& sharedActions)
{
    auto* menu = new QMenu(QString::fromLatin1(title), menuBar);
    menu->addActions(sharedActions);
    const QList<QAction*> existing = menuBar->actions();
    menuBar->insertMenu(existing.isEmpty() ? nullptr : existing.first(), menu);
    return menu;
}

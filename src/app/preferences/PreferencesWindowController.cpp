#include "app/preferences/PreferencesWindowController.h"

#include "app/preferences/PreferencesPaneSize.h"
#include "app/preferences/PreferencesTabViewController.h"
#include "app/preferences/PrefsAdvancedViewController.h"
#include "app/preferences/PrefsEditableTextViewController.h"
#include "app/preferences/PrefsFilesetsViewController.h"
#include "app/preferences/PrefsFoldersViewController.h"
#include "app/preferences/PrefsGeneralViewController.h"
#include "app/preferences/PrefsInfoViewController.h"
#include "app/preferences/PrefsTemplatesViewController.h"
#include "platform/defaults/UserDefaults.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

PreferencesWindowController::PreferencesWindowController(QAction* templateEditorAction, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(QStringLiteral("Preferences"));
    m_tabs = new PreferencesTabViewController(this);
    m_tabs->addPane(new PrefsGeneralViewController, QStringLiteral("General"));
    m_tabs->addPane(new PrefsFoldersViewController, QStringLiteral("Folders"));
    m_tabs->addPane(new PrefsFilesetsViewController, QStringLiteral("Print to File"));
    m_tabs->addPane(new PrefsTemplatesViewController(templateEditorAction), QStringLiteral("Templates"));
    m_tabs->addPane(new PrefsEditableTextViewController, QStringLiteral("Editable Text"));
    m_tabs->addPane(new PrefsAdvancedViewController, QStringLiteral("Advanced"));
    m_tabs->addPane(new PrefsInfoViewController, QStringLiteral("Info"));
    m_tabs->viewDidLoad();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    restoreFrame();
}

void PreferencesWindowController::showWindow()
{
    show();
    raise();
    activateWindow();
}

void PreferencesWindowController::hideEvent(QHideEvent* event)
{
    saveFrame();
    QWidget::hideEvent(event);
}

QString PreferencesWindowController::frameKey()
{
    return QStringLiteral("NSWindow Frame ") + frameAutosaveName;
}

// The frame is kept as "x y width height": the outer frame's origin and the client
// size. A kept frame comes back inside the screen's available area.
void PreferencesWindowController::restoreFrame()
{
    const QStringList parts = platform::UserDefaults::standardUserDefaults()->stringForKey(frameKey()).split(u' ');
    if (parts.size() != 4)
        return;
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool isNumber = false;
        values[i] = parts.at(i).toInt(&isNumber);
        if (!isNumber)
            return;
    }
    const QRect kept(values[0], values[1], values[2], values[3]);
    if (kept.isEmpty())
        return;
    const QScreen* screen = QGuiApplication::screenAt(kept.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    resize(kept.size());
    move(PreferencesPaneSize::keptInside(kept, screen ? screen->availableGeometry() : QRect()).topLeft());
}

void PreferencesWindowController::saveFrame() const
{
    platform::UserDefaults::standardUserDefaults()->setObject(
        QStringLiteral("%1 %2 %3 %4").arg(x()).arg(y()).arg(width()).arg(height()), frameKey());
}

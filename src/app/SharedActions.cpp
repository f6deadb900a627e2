#include "app/SharedActions.h"

#include "core/ui/ApplicationMenu.h"

#include <QAction>

SharedActions::SharedActions(QObject* parent)
    : QObject(parent)
    , m_processor(new QAction(tr("Processor"), this))
    , m_templateEditor(new QAction(tr("Template Editor"), this))
    , m_preferences(new QAction(tr("Preferences…"), this))
    , m_quit(new QAction(tr("Quit KOVA-XML"), this))
{
    m_separators << makeSeparator() << makeSeparator();
    m_preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : { m_preferences, m_quit })
        action->setShortcutContext(Qt::ApplicationShortcut);
    connect(m_preferences, &QAction::triggered, this, [this] {
        if (m_preferencesOpener)
            m_preferencesOpener();
    });
}

QAction* SharedActions::makeSeparator()
{
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    return separator;
}

QList<QAction*> SharedActions::actions() const
{
    return { m_processor, m_templateEditor, m_separators[0], m_preferences, m_separators[1], m_quit };
}

void SharedActions::fillApplicationMenu(QMenuBar* menuBar) const
{
    ApplicationMenu::addTo(menuBar, actions());
}

void SharedActions::setPreferencesOpener(std::function<void()> opener)
{
    m_preferencesOpener = std::move(opener);
}

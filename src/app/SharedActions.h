#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QAction;
class QMenuBar;

// The actions every window's menu bar shows: the processor window, the template
// editor, the preferences (Ctrl+,) and quitting (Ctrl+Q). One owner for the
// whole application; windows that cannot know the application get actions().
class SharedActions : public QObject {
public:
    explicit SharedActions(QObject* parent = nullptr);

    QAction* processor() const { return m_processor; }
    QAction* templateEditor() const { return m_templateEditor; }
    QAction* preferences() const { return m_preferences; }
    QAction* quit() const { return m_quit; }

    // The actions in menu order, with separators between the groups.
    QList<QAction*> actions() const;
    // Puts the application menu with actions() at the front of `menuBar`.
    void fillApplicationMenu(QMenuBar* menuBar) const;

    // What the preferences action opens (the preferences window); none opens nothing.
    void setPreferencesOpener(std::function<void()> opener);

private:
    QAction* makeSeparator();

    QAction* m_processor;
    QAction* m_templateEditor;
    QAction* m_preferences;
    QAction* m_quit;
    QList<QAction*> m_separators;
    std::function<void()> m_preferencesOpener;
};

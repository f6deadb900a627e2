#pragma once

#include <QWidget>

class PreferencesTabViewController;
class QAction;

// The preferences window: a window of its own (not a dialog), holding the panes
// in tabs in this order: general, folders, print-to-file, templates, editable
// texts, advanced, info. Its frame is kept in the preferences under the autosave
// name "com.morvanta.kovaxml.prefs" while the tabs size it per pane.
class PreferencesWindowController : public QWidget {
    Q_OBJECT
public:
    static inline const QString frameAutosaveName = QStringLiteral("com.morvanta.kovaxml.prefs");

    // `templateEditorAction` shows the template editor (the templates pane's
    // button); may be null.
    explicit PreferencesWindowController(QAction* templateEditorAction, QWidget* parent = nullptr);

    PreferencesTabViewController* tabViewController() const { return m_tabs; }
    // Shows the window in front.
    void showWindow();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    static QString frameKey();
    void restoreFrame();
    void saveFrame() const;

    PreferencesTabViewController* m_tabs = nullptr;
};

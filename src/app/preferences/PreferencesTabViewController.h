#pragma once

#include <QTabWidget>

// The tabs of the preferences window. Each pane's object name is its identifier,
// which gives the window its size (PreferencesPaneSize). The selected tab is
// remembered under "key_kovaTabViewSelectedIndex" and selected again when the
// window shows; selecting a tab resizes the window 50 ms later on the main queue,
// keeping its top edge. Selections made while the tabs are added are not stored.
class PreferencesTabViewController : public QTabWidget {
    Q_OBJECT
public:
    static inline const QString selectedIndexKey = QStringLiteral("key_kovaTabViewSelectedIndex");

    explicit PreferencesTabViewController(QWidget* parent = nullptr);

    // Adds a pane; its object name is its identifier.
    void addPane(QWidget* pane, const QString& label);
    // Once every pane is added: selects the stored pane and starts storing selections.
    void viewDidLoad();
    // Selects the stored pane and sizes the window for it.
    void viewWillAppear();
    // Sizes the window for the pane at `index`; an unknown identifier leaves it.
    void configureTabView(int index);

    bool viewHasLoaded() const { return m_viewHasLoaded; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void didSelectTabViewItem(int index);
    // The stored index, within the tabs.
    int storedIndex() const;
    void logTabItems(int index) const;

    bool m_viewHasLoaded = false;
};

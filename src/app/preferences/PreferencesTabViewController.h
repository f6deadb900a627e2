#pragma once

#include <QTabWidget>

#include <optional>

// The tabs of the preferences window. Each pane's object name is its identifier,
// which gives the window its size (PreferencesPaneSize), never narrower than the
// row of tabs: every tab stays in view, without scroll arrows. The selected tab is
// remembered under "key_kovaTabViewSelectedIndex" and selected again when the
// window shows; selecting a tab resizes the window 50 ms later on the main queue,
// keeping its top edge and its frame inside the screen. Selections made while the
// tabs are added are not stored.
class PreferencesTabViewController : public QTabWidget {
    Q_OBJECT
public:
    static inline const QString selectedIndexKey = QStringLiteral("key_kovaTabViewSelectedIndex");

    explicit PreferencesTabViewController(QWidget* parent = nullptr);

    // Adds a pane; its object name is its identifier.
    void addPane(QWidget* pane, const QString& label);
    // Once every pane is added: selects the stored pane and starts storing selections.
    void viewDidLoad();
    // Selects the stored pane and gives the window its size, not its place: the
    // window is about to be placed (by the window system, or where it was saved).
    void viewWillAppear();
    // The window's client size for the pane at `index`; none for an unknown identifier.
    std::optional<QSize> paneSize(int index) const;
    // Sizes the placed window for the pane at `index`, keeping its top edge and its
    // frame inside the screen; an unknown identifier leaves it.
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

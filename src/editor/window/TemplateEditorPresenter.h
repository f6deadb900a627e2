#pragma once

#include <QList>

#include <functional>
#include <memory>

class QAction;
class QWidget;

// How the application shows and closes the template editor without knowing its
// window: the editor library implements it, the application holds one.
class TemplateEditorPresenter {
public:
    virtual ~TemplateEditorPresenter() = default;

    // Makes the editor's window when there is none, then shows and raises it;
    // `sharedActions` go into its menu bar.
    virtual void show(const QList<QAction*>& sharedActions) = 0;
    // Closes the window and releases it (deleteLater); the next show makes a new one.
    virtual void close() = 0;
    // The open window; null when none.
    virtual QWidget* window() const = 0;
    // Before quitting: applies the unsaved-changes policy; proceed=false cancels the quit.
    virtual void confirmQuit(std::function<void(bool proceed)> completion) = 0;
    // Told when the user closed the window (not when the application closes it).
    virtual void setClosedHandler(std::function<void()> handler) = 0;

    static std::unique_ptr<TemplateEditorPresenter> create();
};

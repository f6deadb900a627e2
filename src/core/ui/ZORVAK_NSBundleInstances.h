#pragma once

#include <QStringList>

#include <functional>

// The single-instance check of the windowed application: it beeps and brings
// windows forward, so it lives with the widgets.
namespace ZORVAK_NSBundle {

// Run first at start-up, once the application object exists. When another copy
// of the application runs in this session, beeps, asks that copy to come to the
// front and ends this process: with status 0 when it was started with no items
// or the other copy took all of them (`items`, absolute paths, are handed to
// it), else with status 1 once every refused item is named on standard error,
// or why the other copy could not be reached. Otherwise this process becomes
// the running copy for the rest of its life and start-up goes on.
void checkForDuplicateRunningInstances(const QStringList& items = {});

// What the check does to the world; tests replace them to watch.
struct DuplicateInstanceActions {
    std::function<void()> beep;
    std::function<void(int status)> exit;
    // Run on the main thread of the running copy when another copy asks it to
    // come to the front.
    std::function<void()> activate;
    // Run on the main thread of the running copy when another copy hands it the
    // items it was started with: takes them and answers a line for each item
    // not taken, naming it and saying why. Before the application sets it,
    // every item is refused.
    std::function<QStringList(const QStringList& paths)> open;
};
// Replaces the actions; a missing one goes back to its default (the system
// beep, std::exit, raising the application's windows, refusing every item).
void setDuplicateInstanceActions(DuplicateInstanceActions actions);

} // namespace ZORVAK_NSBundle

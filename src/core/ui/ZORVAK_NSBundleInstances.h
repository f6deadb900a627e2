#pragma once

#include <functional>

// The single-instance check of the windowed application: it beeps and brings
// windows forward, so it lives with the widgets.
namespace ZORVAK_NSBundle {

// Run first at start-up, once the application object exists. When another copy
// of the application runs in this session, beeps, asks that copy to come to the
// front and ends this process with status 0. Otherwise this process becomes the
// running copy for the rest of its life and start-up goes on.
void checkForDuplicateRunningInstances();

// What the check does to the world; tests replace them to watch.
struct DuplicateInstanceActions {
    std::function<void()> beep;
    std::function<void(int status)> exit;
    // Run on the main thread of the running copy when another copy asks it to
    // come to the front.
    std::function<void()> activate;
};
// Replaces the actions; a missing one goes back to its default (the system
// beep, std::exit, raising the application's windows).
void setDuplicateInstanceActions(DuplicateInstanceActions actions);

} // namespace ZORVAK_NSBundle

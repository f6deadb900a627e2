#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace kova::test {

// The private root under which every test run keeps HOME, the XDG folders and the
// machine-wide domain. Created before QCoreApplication, removed at exit.
QString sandboxRoot();

// Pumps the Qt event loop (the main queue) until `done` holds or `timeout` passes.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Pumps the Qt event loop once, running what the main queue holds now.
void processMainQueue();

} // namespace kova::test

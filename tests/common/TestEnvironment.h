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

// ThreadSanitizer stops a multi-threaded process that forks, so the tests that
// start child processes are left out of sanitised runs.
#if defined(__SANITIZE_THREAD__)
constexpr bool startsNoChildProcesses = true;
#else
constexpr bool startsNoChildProcesses = false;
#endif

} // namespace kova::test

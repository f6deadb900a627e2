#pragma once

#include <QString>

#include <optional>

namespace ZORVAK_shell {

// Runs the command line with /bin/sh and answers what it wrote to its standard
// output, decoded as UTF-8. None (and a log line) when the line is empty, the
// shell cannot be started or the command printed nothing. Waits for its own
// child alone and leaves the process's handling of SIGCHLD as it is, so callers
// on other threads and their children are never disturbed. Thread-safe.
std::optional<QString> outputWhenRunAsShellCommand(const QString& commandLine);

} // namespace ZORVAK_shell

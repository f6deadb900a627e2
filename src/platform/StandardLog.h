#pragma once

#include <QString>

namespace platform {

// The system's standard log function: writes one time-stamped line, tagged with
// the process name and ids, to standard error (which the logger may capture
// into the log file). Safe from any thread; lines never interleave.
void standardLog(const QString& message);

} // namespace platform

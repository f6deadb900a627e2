#pragma once

#include "core/foundation/ZORVAK_SystemInfo.h"

#include <memory>

namespace ZORVAK_NSProcessInfo {

// A new host information object at every call.
std::shared_ptr<ZORVAK_SystemInfo> systemInfo();

// Writes the boxed banner of host information (version, operating system,
// uptime, hardware, processors, memory) as one logger line at any log level.
void logCurrentSystemInfo();

} // namespace ZORVAK_NSProcessInfo

#pragma once

#include "helper/lib/FolderOwnership.h"

#include <QString>

namespace kova::helper {

// The daemon's life on the system bus: exports the helper, owns its name, starts
// the idle wait and serves until it runs out.
class HelperDaemon {
public:
    // Needs a QCoreApplication; answers the process's exit status when the bus
    // could not be served.
    static int run(FolderOwnership& ownership, const QString& administratorsGroup);
};

} // namespace kova::helper

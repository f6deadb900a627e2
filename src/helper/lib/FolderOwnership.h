#pragma once

#include "platform/Error.h"

#include <QString>

namespace kova::helper {

// Gives an open folder the superuser as owner and a group named at run time. The
// daemon makes the real calls; tests record them, so they run as an ordinary user.
class FolderOwnership {
public:
    virtual ~FolderOwnership() = default;
    // `path` only names the folder in errors; `descriptor` is the folder itself.
    virtual platform::Error setOwner(int descriptor, const QString& path, const QString& groupName) = 0;
};

} // namespace kova::helper

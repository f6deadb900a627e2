#pragma once

#include "helper/lib/FolderOwnership.h"

namespace kova::helper {

// Owner user 0 and the group looked up by name in the system's group database.
class SystemFolderOwnership : public FolderOwnership {
public:
    platform::Error setOwner(int descriptor, const QString& path, const QString& groupName) override;
};

} // namespace kova::helper

#pragma once

#include "platform/dispatch/DispatchGroup.h"

#include <functional>
#include <memory>

namespace kova::helper {

// Counts the helper's running requests and ends the process after a quiet
// minute: every finished request pushes the end back; when it comes, the bus
// name is given up, the running requests finish, and the process exits with 0.
class HelperLifetime {
public:
    using ReleaseName = std::function<void()>;
    using Exit = std::function<void(int status)>;

    static constexpr double idleSeconds = 60.0;

    HelperLifetime(ReleaseName releaseName, Exit exit);

    platform::DispatchGroup& group() const { return *m_group; }
    // (Re)starts the idle wait.
    void didComplete();

private:
    void exitSafely();

    std::shared_ptr<platform::DispatchGroup> m_group;
    ReleaseName m_releaseName;
    Exit m_exit;
};

} // namespace kova::helper

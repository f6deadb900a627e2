#include "platform/process/ApplicationActivation.h"

namespace platform {

ApplicationActivation::ApplicationActivation(std::function<void()> onActivate)
    : m_onActivate(std::move(onActivate))
{
}

void ApplicationActivation::activate()
{
    if (m_onActivate)
        m_onActivate();
}

} // namespace platform

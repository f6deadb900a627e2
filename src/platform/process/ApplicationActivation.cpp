#include "platform/process/ApplicationActivation.h"

namespace platform {

ApplicationActivation::ApplicationActivation(std::function<void()> onActivate, OpenItems onOpen)
    : m_onActivate(std::move(onActivate))
    , m_onOpen(std::move(onOpen))
{
}

void ApplicationActivation::activate()
{
    if (m_onActivate)
        m_onActivate();
}

QStringList ApplicationActivation::open(const QStringList& paths)
{
    QStringList refused;
    if (m_onOpen) {
        refused = m_onOpen(paths);
    } else {
        for (const QString& path : paths)
            refused << QStringLiteral("%1 stays where it is: this copy takes no items").arg(path);
    }
    activate();
    return refused;
}

} // namespace platform

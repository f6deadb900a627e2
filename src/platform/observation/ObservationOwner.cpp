#include "platform/observation/ObservationOwner.h"

#include <algorithm>

namespace platform {

ObservationOwner::~ObservationOwner()
{
    endOwnedObservations();
}

void ObservationOwner::attachObservation(const std::shared_ptr<OwnedObservation>& observation)
{
    std::lock_guard lock(m_mutex);
    if (std::find(m_observations.begin(), m_observations.end(), observation) == m_observations.end())
        m_observations.push_back(observation);
}

void ObservationOwner::detachObservation(const OwnedObservation* observation)
{
    std::shared_ptr<OwnedObservation> detached; // released after the lock: it may be the last reference
    std::lock_guard lock(m_mutex);
    const auto found = std::find_if(m_observations.begin(), m_observations.end(),
                                    [observation](const auto& held) { return held.get() == observation; });
    if (found == m_observations.end())
        return;
    detached = std::move(*found);
    m_observations.erase(found);
}

std::vector<std::shared_ptr<OwnedObservation>> ObservationOwner::ownedObservations() const
{
    std::lock_guard lock(m_mutex);
    return m_observations;
}

void ObservationOwner::endOwnedObservations()
{
    std::vector<std::shared_ptr<OwnedObservation>> ending;
    {
        std::lock_guard lock(m_mutex);
        ending.swap(m_observations);
    }
    for (const auto& observation : ending)
        observation->ownerDestroyed(*this);
}

} // namespace platform

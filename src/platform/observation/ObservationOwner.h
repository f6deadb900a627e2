#pragma once

#include "platform/observation/OwnedObservation.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// An object that takes part in observations: it holds the set of registrations in
// which it is observer or observed object, keeps them alive, and tells each of them
// when it is destroyed. Every Observable is one; any other class that wants to
// observe through the observation centre derives from it.
class ObservationOwner {
public:
    ObservationOwner() = default;
    ObservationOwner(const ObservationOwner&) = delete;
    ObservationOwner& operator=(const ObservationOwner&) = delete;
    virtual ~ObservationOwner();

    // Adds `observation` to the set (once; adding it again changes nothing).
    void attachObservation(const std::shared_ptr<OwnedObservation>& observation);
    // Removes `observation` from the set; unknown ones are ignored.
    void detachObservation(const OwnedObservation* observation);
    // A copy of the set, for matching without holding its lock.
    std::vector<std::shared_ptr<OwnedObservation>> ownedObservations() const;

protected:
    // Empties the set and tells every registration that was in it that this object
    // is going away. Destructors call it first, while the object is still whole.
    void endOwnedObservations();

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<OwnedObservation>> m_observations;
};

} // namespace platform

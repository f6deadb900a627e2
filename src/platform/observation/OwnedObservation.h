#pragma once

namespace platform {

class ObservationOwner;

// A registration kept alive by the objects taking part in it (its observer, the
// objects it observes). Each of them tells it when it is being destroyed.
class OwnedObservation {
public:
    virtual ~OwnedObservation() = default;

    // `owner` is being destroyed and has already let go of this registration. Called
    // without any lock of the owner held; `owner` must not be used beyond its address.
    virtual void ownerDestroyed(const ObservationOwner& owner) = 0;
};

} // namespace platform

#pragma once

// One registration of the observation centre, as its callers hold it: they keep it to
// remove the observation later or let it end with the objects taking part.
class OBKVOObservation {
public:
    virtual ~OBKVOObservation() = default;

    // Whether the observation is still active.
    virtual bool isValid() const = 0;
    // Ends the observation; ending it again does nothing.
    virtual void remove() = 0;
};

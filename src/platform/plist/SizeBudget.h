#pragma once

#include "platform/plist/PropertyList.h"

namespace platform {

// Counts the memory a property-list value or keyed archive is estimated to take once every
// reference in it is expanded. Hostile input can point at one object from many places, so a
// small file could otherwise grow into an enormous value.
class SizeBudget {
public:
    // The estimated cost of one value besides its text or data bytes.
    static constexpr qint64 NodeCost = 64;

    // Charges one value holding `payloadBytes` of text or data; false once the budget is spent.
    bool charge(qint64 payloadBytes = 0)
    {
        m_spent += NodeCost + payloadBytes;
        return m_spent <= PropertyList::MaximumSize;
    }

private:
    qint64 m_spent = 0;
};

} // namespace platform

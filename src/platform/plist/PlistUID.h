#pragma once

#include <QMetaType>

namespace platform {

// A reference from one object of a keyed archive to another: the object's index in the
// archive's object table. Property lists carry it as their UID type.
struct PlistUID {
    quint64 value = 0;

    friend bool operator==(const PlistUID& a, const PlistUID& b) { return a.value == b.value; }
    friend bool operator!=(const PlistUID& a, const PlistUID& b) { return !(a == b); }
};

} // namespace platform

Q_DECLARE_METATYPE(platform::PlistUID)

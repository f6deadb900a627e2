#pragma once

#include "platform/Error.h"

#include <QByteArray>
#include <QVariant>

namespace platform {

// Property-list values and errors as they travel in bus calls: an `ay` argument
// holding a binary property list. Incoming bytes are untrusted and read with
// the bounded property-list reader.
class BusPropertyList {
public:
    // The binary property list of `value`; empty with an error when the value
    // cannot be carried by a property list.
    static QByteArray encode(const QVariant& value, Error* error = nullptr);
    // The value of `data`; invalid with an error when the bytes are unreadable.
    // Empty data is an invalid value without error (the "no value" form).
    static QVariant decode(const QByteArray& data, Error* error = nullptr);

    // An error as a dictionary {domain, code, description}; empty for no error.
    static QByteArray encodeError(const Error& error);
    // The error carried by `data`; a null error for empty data. Unreadable bytes
    // give an error saying so rather than a null one.
    static Error decodeError(const QByteArray& data);
};

} // namespace platform

#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Checks the structure of a binary property list before libplist reads it. libplist copies an
// object once for every reference to it and recurses once per nesting level, so a few hundred
// hostile bytes could exhaust memory or the stack. Accepted data has every offset, count and
// reference in range, only the object kinds property lists use, string keys, no cycles, a
// nesting depth within PropertyList::MaximumDepth and an expanded size within
// PropertyList::MaximumSize.
class BinaryPlistValidator {
public:
    // True when `data` passes; otherwise `problem` says why.
    static bool validate(const QByteArray& data, QString* problem);
};

} // namespace platform

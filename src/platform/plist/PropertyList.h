#pragma once

#include "platform/Error.h"
#include "platform/plist/PlistUID.h"

#include <QByteArray>
#include <QDateTime>
#include <QVariant>

namespace platform {

// Reads and writes property lists, binary or XML, as QVariant values:
//   string      QString
//   integer     qint64; values above INT64_MAX as quint64 (any integer type is accepted on writing)
//   real        double (float accepted on writing)
//   boolean     bool
//   data        QByteArray
//   date        QDateTime in UTC with millisecond precision; the XML form keeps whole seconds
//   array       QVariantList (QStringList accepted on writing)
//   dictionary  QVariantMap
//   UID         PlistUID; a dictionary whose only key is "CF$UID" with a non-negative integer,
//               the form UIDs take in XML, reads as a PlistUID
// Any other value is refused with an error rather than dropped. Input is untrusted: its size,
// nesting depth and expanded size are bounded, and no byte sequence makes reading crash.
class PropertyList {
public:
    enum class Format { XML, Binary };

    // Deepest nesting of arrays and dictionaries read or written.
    static constexpr int MaximumDepth = 512;
    // Largest input accepted, and the most memory a value may be estimated to expand to
    // (binary property lists can refer to one object from many places).
    static constexpr qint64 MaximumSize = qint64(256) * 1024 * 1024;

    // The value held by `data`, binary or XML (told apart by the binary header); an invalid
    // QVariant and an error when the data is not a readable property list.
    static QVariant fromData(const QByteArray& data, Error* error = nullptr);

    // The property list of `value` in `format`; empty data and an error when the value holds
    // something a property list cannot carry.
    static QByteArray toData(const QVariant& value, Format format = Format::Binary, Error* error = nullptr);

    // Dates in property lists and keyed archives count seconds from 2001-01-01 00:00 UTC.
    // Out of the years 1 to 9999, or not finite, gives an invalid QDateTime.
    static QDateTime dateFromReferenceSeconds(double seconds);
    static double referenceSecondsFromDate(const QDateTime& date);
};

} // namespace platform

#pragma once

#include <QString>
#include <QVariant>

// How documents read numbers and booleans out of texts: leniently, from the
// leading part of the text, never failing.
namespace platform::StringValues {

// True when, after blanks, an optional sign and leading zeros, the text begins
// with "Y", "y", "T", "t" or a digit 1 to 9 ("yes", "true", "1", "+02"); else false.
bool boolValue(const QString& text);
// The number the text begins with (after blanks), 0 when there is none.
double doubleValue(const QString& text);
// The integer the text begins with (after blanks), 0 when there is none; saturates
// at the limits of the type.
qint64 integerValue(const QString& text);

// The same readings of a value that is either a text or a number (or a boolean);
// anything else reads as false or 0.
bool boolValue(const QVariant& value);
double doubleValue(const QVariant& value);
qint64 integerValue(const QVariant& value);

// Whether the value is a number (or a boolean), as opposed to a text or anything else.
bool isNumber(const QVariant& value);
// Whether the value is an integer (or a boolean).
bool isInteger(const QVariant& value);

} // namespace platform::StringValues

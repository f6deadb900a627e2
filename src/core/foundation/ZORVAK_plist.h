#pragma once

#include <QString>
#include <QVariant>

// Property-list text: values written as XML property lists and read back from
// text of any property-list format.
namespace ZORVAK_plist {

// The XML property list of `object` as text; a null string (and a log line)
// when the value cannot be a property list.
QString stringWithPlistObject(const QVariant& object);
// The value of the property list in `text` (UTF-8 bytes of it are read); an
// invalid QVariant (and a log line) when it is not one.
QVariant plistObject(const QString& text);

} // namespace ZORVAK_plist

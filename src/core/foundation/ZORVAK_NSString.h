#pragma once

#include <QDateTime>
#include <QString>

namespace ZORVAK_NSString {

// The date that the Unicode date pattern reads from the text (local time, default
// locale); invalid when the text does not match the pattern as a whole or names
// a field out of range.
QDateTime dateWithUTSFormat(const QString& text, const QString& format);

} // namespace ZORVAK_NSString

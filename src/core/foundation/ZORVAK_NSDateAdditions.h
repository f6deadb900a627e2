#pragma once

#include "core/text/UtsDateFormatter.h"

#include <QDateTime>
#include <QString>

// Dates as text in local time with the default locale.
namespace ZORVAK_NSDateAdditions {

using DateStyle = UtsDateFormatter::Style;

// The date formatted with a Unicode date pattern: "yyyyMMdd-HHmmss",
// "yyyy-MM-dd HH:mm:ss.SSS", "yyyy:MM:dd HH:mm:ss", "yyyy-MM-dd_HH-mm-ss.SSSSS".
// A null string for an invalid date or an unusable pattern.
QString stringWithUTSFormat(const QDateTime& date, const QString& format);
// The localised text of the date with the same style for the date and the time.
QString stringLocalizedWithStyle(const QDateTime& date, DateStyle style);
QString localizedStringWithStyleMedium(const QDateTime& date);

} // namespace ZORVAK_NSDateAdditions

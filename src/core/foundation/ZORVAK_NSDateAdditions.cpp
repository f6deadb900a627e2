#include "core/foundation/ZORVAK_NSDateAdditions.h"

namespace ZORVAK_NSDateAdditions {

QString stringWithUTSFormat(const QDateTime& date, const QString& format)
{
    return UtsDateFormatter(format).format(date);
}

QString stringLocalizedWithStyle(const QDateTime& date, DateStyle style)
{
    return UtsDateFormatter(style).format(date);
}

QString localizedStringWithStyleMedium(const QDateTime& date)
{
    return stringLocalizedWithStyle(date, DateStyle::Medium);
}

} // namespace ZORVAK_NSDateAdditions

#include "core/foundation/ZORVAK_NSString.h"

#include "core/text/UtsDateFormatter.h"

namespace ZORVAK_NSString {

QDateTime dateWithUTSFormat(const QString& text, const QString& format)
{
    return UtsDateFormatter(format).parse(text);
}

} // namespace ZORVAK_NSString

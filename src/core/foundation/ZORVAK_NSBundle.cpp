#include "core/foundation/ZORVAK_NSBundle.h"

#include <BundleInfo.h>

namespace ZORVAK_NSBundle {

QString longDescriptionWithLabel(const QString& label)
{
    return QStringLiteral("%1 %2%3- v%4 (xc-%5 sdk-%6)")
        .arg(QLatin1String(BundleInfo::kName), label, label.isNull() ? QString() : QStringLiteral(" "),
            QLatin1String(BundleInfo::kShortVersion), QLatin1String(BundleInfo::kBuildTool), QLatin1String(BundleInfo::kSDKName));
}

QString longDescription()
{
    return longDescriptionWithLabel({});
}

} // namespace ZORVAK_NSBundle

#include "core/foundation/ZORVAK_plist.h"

#include "platform/Log.h"
#include "platform/plist/PropertyList.h"

namespace ZORVAK_plist {

QString stringWithPlistObject(const QVariant& object)
{
    platform::Error error;
    const QByteArray data = platform::PropertyList::toData(object, platform::PropertyList::Format::XML, &error);
    if (data.isEmpty()) {
        platform::Log::log(QStringLiteral("Error inside %1: %2").arg(QLatin1String(Q_FUNC_INFO), error.description()));
        return {};
    }
    return QString::fromUtf8(data);
}

QVariant plistObject(const QString& text)
{
    platform::Error error;
    QVariant object = platform::PropertyList::fromData(text.toUtf8(), &error);
    if (!object.isValid())
        platform::Log::log(QStringLiteral("Error inside %1: %2").arg(QLatin1String(Q_FUNC_INFO), error.description()));
    return object;
}

} // namespace ZORVAK_plist

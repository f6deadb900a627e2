#include "printing/pages/OldTicketSettings.h"

#include "platform/Log.h"
#include "platform/text/StringValues.h"

namespace {

const QString MitsubishiSettingsKey = QStringLiteral("mitsubishiSettings");
const QString MediaSettingsKey = QStringLiteral("mediaSettings");

void logUnexpected(const QString& key, const QVariant& value)
{
    platform::Log::error(QStringLiteral("an old print ticket holds a %1 under \"%2\"; it is read as missing")
                             .arg(QString::fromLatin1(value.typeName()), key));
}

QVariantMap group(const QVariantMap& ticket, const QString& key)
{
    const QVariant value = ticket.value(key);
    if (value.isValid() && value.typeId() != QMetaType::QVariantMap)
        logUnexpected(key, value);
    return value.toMap();
}

qint64 integer(const QVariantMap& dictionary, const QString& key)
{
    const QVariant value = dictionary.value(key);
    if (!value.isValid())
        return 0;
    if (!platform::StringValues::isNumber(value) && value.typeId() != QMetaType::QString) {
        logUnexpected(key, value);
        return 0;
    }
    return platform::StringValues::integerValue(value);
}

} // namespace

OldTicketSettings OldTicketSettings::fromTicket(const QVariantMap& ticket)
{
    const QVariantMap mitsubishi = group(ticket, MitsubishiSettingsKey);
    const QVariantMap media = group(ticket, MediaSettingsKey);
    return {
        .printingMode = integer(mitsubishi, QStringLiteral("printingMode")),
        .lamination = integer(mitsubishi, QStringLiteral("lamination")),
        .printer = integer(ticket, QStringLiteral("printer")),
        .cutInHalf = integer(media, QStringLiteral("cutInHalf")),
        .mediaType = integer(media, QStringLiteral("mediaType")),
    };
}

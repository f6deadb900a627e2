#include "platform/ipc/BusPropertyList.h"

#include "platform/plist/PropertyList.h"

#include <QVariantMap>

namespace platform {

namespace {

const QString DomainKey = QStringLiteral("domain");
const QString CodeKey = QStringLiteral("code");
const QString DescriptionKey = QStringLiteral("description");

} // namespace

QByteArray BusPropertyList::encode(const QVariant& value, Error* error)
{
    return PropertyList::toData(value, PropertyList::Format::Binary, error);
}

QVariant BusPropertyList::decode(const QByteArray& data, Error* error)
{
    if (data.isEmpty())
        return {};
    return PropertyList::fromData(data, error);
}

QByteArray BusPropertyList::encodeError(const Error& error)
{
    if (error.isNull())
        return {};
    const QVariantMap dictionary { { DomainKey, error.domain }, { CodeKey, error.code },
        { DescriptionKey, error.message } };
    return encode(dictionary);
}

Error BusPropertyList::decodeError(const QByteArray& data)
{
    if (data.isEmpty())
        return {};
    Error readError;
    const QVariant value = decode(data, &readError);
    if (value.typeId() != QMetaType::QVariantMap) {
        if (readError.isNull())
            readError = { Error::CocoaDomain, 259, QStringLiteral("The error sent on the bus is not a dictionary.") };
        return readError;
    }
    const QVariantMap dictionary = value.toMap();
    return { dictionary.value(DomainKey).toString(), dictionary.value(CodeKey).toLongLong(),
        dictionary.value(DescriptionKey).toString() };
}

} // namespace platform

#include "workflow/outputs/OutputArchiveValues.h"

#include "platform/Error.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/StringValues.h"

#include <algorithm>

namespace Format = platform::KeyedArchiveFormat;

namespace OutputArchiveValues {

namespace {

constexpr qint64 CorruptArchiveCode = 4864; // the platform's code for an archive that cannot be decoded

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

bool isPlainValue(const QVariant& value)
{
    return isText(value) || platform::StringValues::isNumber(value);
}

bool isValueMap(const QVariant& value)
{
    const QVariantMap map = value.toMap();
    return value.typeId() == QMetaType::QVariantMap && std::all_of(map.cbegin(), map.cend(), isPlainValue);
}

// The value under `key` when it is missing or of the expected type; else the archive is refused.
QVariant decodeChecked(platform::KeyedUnarchiver& coder, const QString& key, const QString& className,
                       const QStringList& archivedClasses, QMetaType::Type type)
{
    const QVariant value = coder.decodeObjectOfClasses(key, archivedClasses);
    if (!value.isValid() || value.typeId() == type)
        return value;
    refuse(coder, key, className);
    return {};
}

// A dictionary whose every value passes `accepts`; else the archive is refused.
template <class Accepts>
QVariantMap decodeMapOf(platform::KeyedUnarchiver& coder, const QString& key, const QString& className, Accepts accepts)
{
    const QVariantMap map = decodeChecked(coder, key, className, {Format::Dictionary}, QMetaType::QVariantMap).toMap();
    if (!std::all_of(map.cbegin(), map.cend(), accepts)) {
        refuse(coder, key, className);
        return {};
    }
    return map;
}

} // namespace

void refuse(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    coder.failWithError(platform::Error{platform::Error::CocoaDomain, CorruptArchiveCode,
                                        QStringLiteral("%1 holds an unexpected value for %2").arg(className, key)});
}

QString decodeText(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    return decodeChecked(coder, key, className, {Format::String}, QMetaType::QString).toString();
}

QStringList decodeTexts(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    const QVariantList items = decodeChecked(coder, key, className, {Format::Array}, QMetaType::QVariantList).toList();
    if (!std::all_of(items.cbegin(), items.cend(), isText)) {
        refuse(coder, key, className);
        return {};
    }
    return QVariant(items).toStringList();
}

QVariantMap decodeTextMap(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    return decodeMapOf(coder, key, className, isText);
}

QVariantMap decodeValueMap(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    return decodeMapOf(coder, key, className, isPlainValue);
}

QVariantList decodeValueMaps(platform::KeyedUnarchiver& coder, const QString& key, const QString& className)
{
    const QVariantList items =
        decodeChecked(coder, key, className, {Format::Array, Format::Dictionary}, QMetaType::QVariantList).toList();
    if (!std::all_of(items.cbegin(), items.cend(), isValueMap)) {
        refuse(coder, key, className);
        return {};
    }
    return items;
}

} // namespace OutputArchiveValues

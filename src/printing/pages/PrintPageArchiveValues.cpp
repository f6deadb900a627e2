#include "printing/pages/PrintPageArchiveValues.h"

#include "platform/Error.h"
#include "platform/plist/Archivable.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include <algorithm>

namespace Format = platform::KeyedArchiveFormat;

namespace PrintPageArchiveValues {

namespace {

constexpr qint64 CorruptArchiveCode = 4864; // the platform's code for an archive that cannot be decoded
const QString FilterClassName = QStringLiteral("CIFilter");

void refuse(platform::KeyedUnarchiver& coder, const QString& key)
{
    coder.failWithError(platform::Error{platform::Error::CocoaDomain, CorruptArchiveCode,
                                        QStringLiteral("a print page holds an unexpected value for %1").arg(key)});
}

// The value under `key` when it is missing or of `type`; else the archive is refused.
QVariant decodeChecked(platform::KeyedUnarchiver& coder, const QString& key, const QStringList& classes, QMetaType::Type type)
{
    const QVariant value = coder.decodeObjectOfClasses(key, classes);
    if (!value.isValid() || value.typeId() == type)
        return value;
    refuse(coder, key);
    return {};
}

bool isURL(const QVariant& value)
{
    return value.typeId() == QMetaType::QUrl;
}

// A filter object, or an array of them at any depth.
bool isFilterOrArrayOfFilters(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantList) {
        const QVariantList items = value.toList();
        return std::all_of(items.cbegin(), items.cend(), isFilterOrArrayOfFilters);
    }
    return platform::Archivable::fromVariant<platform::Archivable>(value) != nullptr;
}

} // namespace

bool isNothing(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    return value.typeId() == QMetaType::QString && value.toString().isNull();
}

void encodeIfPresent(platform::KeyedArchiver& coder, const QVariant& value, const QString& key)
{
    if (!isNothing(value))
        coder.encodeObject(value, key);
}

QVariant urlList(const QList<QUrl>& urls)
{
    if (urls.isEmpty())
        return {};
    QVariantList list;
    for (const QUrl& url : urls)
        list.append(url);
    return list;
}

QList<QUrl> decodeURLs(platform::KeyedUnarchiver& coder, const QString& key)
{
    const QVariantList items = decodeChecked(coder, key, {Format::Array, Format::URL}, QMetaType::QVariantList).toList();
    if (!std::all_of(items.cbegin(), items.cend(), isURL)) {
        refuse(coder, key);
        return {};
    }
    QList<QUrl> urls;
    for (const QVariant& item : items)
        urls.append(item.toUrl());
    return urls;
}

QUrl decodeURL(platform::KeyedUnarchiver& coder, const QString& key)
{
    return decodeChecked(coder, key, {Format::URL}, QMetaType::QUrl).toUrl();
}

QString decodeText(platform::KeyedUnarchiver& coder, const QString& key)
{
    return decodeChecked(coder, key, {Format::String}, QMetaType::QString).toString();
}

QVariantMap decodeDictionary(platform::KeyedUnarchiver& coder, const QString& key)
{
    return decodeChecked(coder, key, {Format::Dictionary}, QMetaType::QVariantMap).toMap();
}

QVariantList decodeFilterChains(platform::KeyedUnarchiver& coder, const QString& key)
{
    const QVariant chains = decodeChecked(coder, key, {Format::Array, FilterClassName}, QMetaType::QVariantList);
    if (chains.isValid() && !isFilterOrArrayOfFilters(chains)) {
        refuse(coder, key);
        return {};
    }
    return chains.toList();
}

} // namespace PrintPageArchiveValues

#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace platform {
class KeyedArchiver;
class KeyedUnarchiver;
} // namespace platform

// How print pages write and read the values of their archive. Reading is secure: a value of
// another class than the key allows stops the archive with an error; a missing key gives an
// empty value.
namespace PrintPageArchiveValues {

// Whether `value` stands for nothing: invalid, null, or a null text.
bool isNothing(const QVariant& value);
// Writes `value` under `key`, or leaves the key out when the value is nothing (where the
// archiver would write a reference to $null).
void encodeIfPresent(platform::KeyedArchiver& coder, const QVariant& value, const QString& key);
// The list of URLs as an archivable array; nothing when it is empty.
QVariant urlList(const QList<QUrl>& urls);

QList<QUrl> decodeURLs(platform::KeyedUnarchiver& coder, const QString& key);
QUrl decodeURL(platform::KeyedUnarchiver& coder, const QString& key);
QString decodeText(platform::KeyedUnarchiver& coder, const QString& key);
QVariantMap decodeDictionary(platform::KeyedUnarchiver& coder, const QString& key);
// Arrays (of arrays) of filter objects.
QVariantList decodeFilterChains(platform::KeyedUnarchiver& coder, const QString& key);

} // namespace PrintPageArchiveValues

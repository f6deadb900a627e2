#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace platform {
class KeyedUnarchiver;
}

// Reading back the plain values that the output model's classes archive. An archive comes from
// outside as much as a package file does: a value of the wrong kind stops the whole archive with
// an error naming the class and the key, instead of entering the model.
namespace OutputArchiveValues {

// Stops the archive with an error naming the class and the key whose value is of the wrong kind.
void refuse(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);

// A text, or a null text when the key is missing or holds nothing.
QString decodeText(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);
// An array of texts (mutable or not); empty when the key is missing.
QStringList decodeTexts(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);
// A dictionary of texts by text key (mutable or not); empty when the key is missing.
QVariantMap decodeTextMap(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);
// A dictionary of texts, numbers and flags by text key (mutable or not); empty when the key is missing.
QVariantMap decodeValueMap(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);
// An array (mutable or not) of such dictionaries; empty when the key is missing.
QVariantList decodeValueMaps(platform::KeyedUnarchiver& coder, const QString& key, const QString& className);

} // namespace OutputArchiveValues

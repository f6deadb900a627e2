#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// The vocabulary of keyed archives, shared by KeyedArchiver and KeyedUnarchiver.
namespace platform::KeyedArchiveFormat {

inline const QString ArchiverKey = QStringLiteral("$archiver");
inline const QString ArchiverName = QStringLiteral("NSKeyedArchiver");
inline const QString VersionKey = QStringLiteral("$version");
constexpr qint64 Version = 100000;
inline const QString TopKey = QStringLiteral("$top");
inline const QString ObjectsKey = QStringLiteral("$objects");
inline const QString NullObject = QStringLiteral("$null");
inline const QString RootKey = QStringLiteral("root");
inline const QString ClassKey = QStringLiteral("$class");
inline const QString ClassNameKey = QStringLiteral("$classname");
inline const QString ClassesKey = QStringLiteral("$classes");

inline const QString KeysKey = QStringLiteral("NS.keys");
inline const QString ObjectsListKey = QStringLiteral("NS.objects");
inline const QString URLBaseKey = QStringLiteral("NS.base");
inline const QString URLRelativeKey = QStringLiteral("NS.relative");
inline const QString TimeKey = QStringLiteral("NS.time");
inline const QString MutableStringKey = QStringLiteral("NS.string");
inline const QString MutableDataKey = QStringLiteral("NS.data");
inline const QString RectKey = QStringLiteral("NS.rectval");
inline const QString ValueKindKey = QStringLiteral("NS.special");
constexpr qint64 RectValueKind = 12;
inline const QString ErrorCodeKey = QStringLiteral("NSCode");
inline const QString ErrorDomainKey = QStringLiteral("NSDomain");
inline const QString ErrorUserInfoKey = QStringLiteral("NSUserInfo");
inline const QString ErrorDescriptionKey = QStringLiteral("NSLocalizedDescription");

inline const QString Object = QStringLiteral("NSObject");
inline const QString Dictionary = QStringLiteral("NSDictionary");
inline const QString MutableDictionary = QStringLiteral("NSMutableDictionary");
inline const QString Array = QStringLiteral("NSArray");
inline const QString MutableArray = QStringLiteral("NSMutableArray");
inline const QString Set = QStringLiteral("NSSet");
inline const QString MutableSet = QStringLiteral("NSMutableSet");
inline const QString String = QStringLiteral("NSString");
inline const QString MutableString = QStringLiteral("NSMutableString");
inline const QString Data = QStringLiteral("NSData");
inline const QString MutableData = QStringLiteral("NSMutableData");
inline const QString Number = QStringLiteral("NSNumber");
inline const QString Date = QStringLiteral("NSDate");
inline const QString URL = QStringLiteral("NSURL");
inline const QString Value = QStringLiteral("NSValue");
inline const QString ErrorClass = QStringLiteral("NSError");
inline const QString Null = QStringLiteral("NSNull");

// The classes the archive knows by itself, each with its superclasses up to NSObject; empty
// for any other name.
QStringList builtInClassHierarchy(const QString& className);

// Text, data, numbers, dates and NSNull: inert values that may appear inside any collection.
bool isValueClass(const QString& className);

// Dictionaries, arrays, text, data, numbers and dates.
QStringList propertyListClasses();

// Every class KeyedArchiver writes for a value that is not an Archivable object: the
// property-list classes, NSURL, NSValue, NSError and NSNull.
QStringList archivedValueClasses();

// A key the caller chose, as stored: keys of the archive's own start with "$", so a caller's
// key that does gets one more.
QString storedKey(const QString& key);

// A rectangle's text form, "{{x, y}, {w, h}}", as rectangle values carry it.
QString rectText(const QRectF& rect);
std::optional<QRectF> rectFromText(const QString& text);

} // namespace platform::KeyedArchiveFormat

#pragma once

#include "platform/Error.h"
#include "platform/plist/Archivable.h"
#include "platform/plist/SizeBudget.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVariant>

#include <memory>
#include <vector>

namespace platform {

// Writes a keyed archive in the platform's form, a binary property list:
//   {"$archiver": "NSKeyedArchiver", "$version": 100000, "$top": {"root": UID},
//    "$objects": ["$null", ...]}
// Objects refer to each other by UID; an object's "$class" refers to one shared entry per
// class, {"$classname": name, "$classes": [name, superclasses...]}.
//
// Values (QVariant) are written as:
//   QString, QByteArray, numbers, bool   plain objects
//   QVariantMap                          NSDictionary with "NS.keys" and "NS.objects" (string keys)
//   QVariantList, QStringList            NSArray with "NS.objects"
//   QDateTime                            NSDate with "NS.time", seconds since 2001-01-01 UTC
//   QUrl                                 NSURL with "NS.base" $null and "NS.relative" the absolute URL
//   QRectF                               NSValue holding a rectangle
//   platform::Error                      NSError with "NSCode", "NSDomain" and "NSUserInfo"
//   QVariant::fromValue(nullptr)         NSNull, the placeholder collections hold for "nothing"
//   std::shared_ptr<Archivable>          the object's own keys, written by its encodeWithCoder
// One object encoded twice is written once and referred to twice. Anything else, and a missing
// value (see encodeObject) inside a collection, makes the archive fail with an error rather than
// lose it.
//
// An archiver collects the first error and ignores every call after it; encodedData() reports it.
class KeyedArchiver {
public:
    // Whether dictionaries and arrays are written as their mutable classes (NSMutableDictionary,
    // NSMutableArray), for models that decode them as mutable. Applies throughout the value.
    enum class Mutability { Immutable, Mutable };

    KeyedArchiver();
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    // Writes `object` under `key` of the object being encoded (the archive's top at first).
    // A missing value (an invalid QVariant, a null string, data or object, an empty URL, an
    // invalid date) is written as a reference to $null.
    void encodeObject(const QVariant& object, const QString& key, Mutability mutability = Mutability::Immutable);
    void encodeArchivable(const Archivable* object, const QString& key);
    template <class T>
    void encodeArchivables(const QList<std::shared_ptr<T>>& objects, const QString& key,
                           Mutability mutability = Mutability::Immutable);

    // Refers to `object` only if it is also written unconditionally somewhere in the archive;
    // otherwise $null is written in its place.
    void encodeConditionalArchivable(const Archivable* object, const QString& key);

    // Plain values stored directly under the key.
    void encodeInteger(qint64 value, const QString& key);
    void encodeBool(bool value, const QString& key);
    void encodeDouble(double value, const QString& key);

    // Stops the archive with `error` (for an object that cannot write itself).
    void failWithError(const Error& error);
    bool hasError() const { return !m_error.isNull(); }
    const Error& error() const { return m_error; }

    // The archive written so far; empty data and the error when something could not be written.
    QByteArray encodedData(Error* error = nullptr);

    static QByteArray archivedDataWithRootObject(const QVariant& root, Error* error = nullptr,
                                                 Mutability mutability = Mutability::Immutable);
    static QByteArray archivedDataWithRootObject(const Archivable& root, Error* error = nullptr);
    template <class T>
    static QByteArray archivedDataWithRootObject(const QList<std::shared_ptr<T>>& roots, Error* error = nullptr,
                                                 Mutability mutability = Mutability::Immutable);

    // Whether `value` can be archived, everything inside it included.
    static bool supportsSecureCoding(const QVariant& value);

private:
    struct ConditionalReference {
        qsizetype holder; // index of the referring object in m_objects, or -1 for the top
        QString key;
        const Archivable* object;
    };

    template <class T>
    static QVariantList variantList(const QList<std::shared_ptr<T>>& objects);

    quint64 encodeValue(const QVariant& value, Mutability mutability);
    quint64 encodeArchivableObject(const Archivable& object);
    quint64 encodeDictionary(const QVariantMap& map, Mutability mutability);
    quint64 encodeArray(const QVariantList& list, Mutability mutability);
    quint64 encodeString(const QString& text);
    quint64 encodeDate(const QDateTime& date);
    quint64 encodeURL(const QUrl& url);
    quint64 encodeRect(const QRectF& rect);
    quint64 encodeError(const Error& error);
    // Writes an object of a built-in class whose contents `fill` stores into its dictionary.
    template <class Fill>
    quint64 encodeClassObject(const QString& className, Fill fill);
    quint64 reserveObject();
    quint64 appendObject(const QVariant& object);
    quint64 classReference(const QStringList& hierarchy);
    void store(const QString& key, const QVariant& value);
    quint64 fail(const QString& message);

    QVariantList m_objects;
    std::vector<QVariantMap> m_openObjects; // the top, then each object whose contents are being written
    std::vector<qsizetype> m_openIndexes;   // their indexes in m_objects (-1 for the top)
    QHash<QString, quint64> m_strings;
    QHash<QString, quint64> m_classes;
    QHash<const Archivable*, quint64> m_archivables;
    std::vector<ConditionalReference> m_conditionals;
    int m_depth = 0;
    SizeBudget m_budget;
    Error m_error;
};

template <class T>
QVariantList KeyedArchiver::variantList(const QList<std::shared_ptr<T>>& objects)
{
    QVariantList list;
    list.reserve(objects.size());
    for (const std::shared_ptr<T>& object : objects)
        list.append(Archivable::toVariant(object));
    return list;
}

template <class T>
void KeyedArchiver::encodeArchivables(const QList<std::shared_ptr<T>>& objects, const QString& key, Mutability mutability)
{
    encodeObject(variantList(objects), key, mutability);
}

template <class T>
QByteArray KeyedArchiver::archivedDataWithRootObject(const QList<std::shared_ptr<T>>& roots, Error* error,
                                                     Mutability mutability)
{
    return archivedDataWithRootObject(QVariant(variantList(roots)), error, mutability);
}

} // namespace platform

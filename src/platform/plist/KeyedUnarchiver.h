#pragma once

#include "platform/Error.h"
#include "platform/plist/Archivable.h"
#include "platform/plist/SizeBudget.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QVariant>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace platform {

// Reads keyed archives as KeyedArchiver writes them (binary, or XML with {"CF$UID": n}
// references), always with secure decoding:
//  - every object named by a class entry must be of a class the caller allows (the class or
//    one of its superclasses named in the decode call or in the unarchiver's allowed classes);
//    text, data, numbers, dates and NSNull are inert and accepted anywhere inside a collection;
//  - only the built-in classes and classes registered with registerClass are decoded;
//  - every reference is checked, nesting and expanded size are bounded, and a reference back to
//    an object still being decoded (a cycle) is refused.
// Values come back as KeyedArchiver takes them: NSDictionary as QVariantMap, NSArray and NSSet
// as QVariantList, NSDate as QDateTime (UTC), NSURL as QUrl (resolved against its base),
// NSValue rectangles as QRectF, NSNull as QVariant::fromValue(nullptr), NSError as
// platform::Error, registered classes as std::shared_ptr<Archivable> (one object per archived
// object, however often it is referred to).
// An error's user info may hold the property-list classes, NSURL, NSError and NSNull (any other
// class is refused); platform::Error keeps its NSLocalizedDescription and drops the rest, which
// is logged once per archive.
//
// The first failure stops decoding: every decode call after it returns an empty value, and
// error() tells what went wrong. Missing keys are not failures: they give empty values.
class KeyedUnarchiver {
public:
    // Makes an object of a registered class from the keys of its archived object, the part the
    // decoding initialiser plays. It returns null, or calls failWithError, when it cannot.
    using Factory = std::function<std::shared_ptr<Archivable>(KeyedUnarchiver& coder)>;

    // `allowedClasses` are allowed throughout the archive, in addition to those of each call.
    explicit KeyedUnarchiver(const QByteArray& data, const QStringList& allowedClasses = {});
    ~KeyedUnarchiver();
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;

    // Keys of the object being decoded (the archive's top at first, where the root is "root").
    bool containsValueForKey(const QString& key) const;

    // A property-list kind of object: text, number, data, date, array or dictionary.
    QVariant decodeObject(const QString& key);
    QVariant decodeObjectOfClasses(const QString& key, const QStringList& classes);

    // An object of a registered class that is a T; null when the key is missing or holds $null.
    template <class T>
    std::shared_ptr<T> decodeArchivable(const QString& key, const QStringList& classes);
    // An array whose every element is a T, for element classes `classes`.
    template <class T>
    QList<std::shared_ptr<T>> decodeArchivables(const QString& key, const QStringList& classes);

    // Plain values stored directly under the key; 0 or false when missing.
    qint64 decodeInteger(const QString& key);
    bool decodeBool(const QString& key);
    double decodeDouble(const QString& key);

    void failWithError(const Error& error);
    bool hasError() const { return !m_error.isNull(); }
    const Error& error() const { return m_error; }

    // Registers the class named first in `classHierarchy` (the rest are its superclasses up to
    // the root, as Archivable::archiveClassHierarchy gives them). Thread-safe.
    static void registerClass(const QStringList& classHierarchy, Factory factory);

    // The root object of the archive in `data`, decoded with `classes` allowed throughout.
    static QVariant unarchivedObjectOfClasses(const QByteArray& data, const QStringList& classes, Error* error = nullptr);

private:
    using ClassSet = QSet<QString>;
    using Decoder = QVariant (KeyedUnarchiver::*)(const QVariantMap& object, const ClassSet& allowed);

    // What decoding needs to know of one class entry of the archive.
    struct ArchivedClass {
        QString name;
        ClassSet hierarchy;
        Factory factory; // for registered classes
        Decoder decoder = nullptr; // for built-in classes
    };

    void readArchive(const QByteArray& data);
    QVariant storedValue(const QString& key) const;
    QVariant decodeReference(const QVariant& reference, const ClassSet& allowed, bool insideCollection);
    QVariant decodePlainValue(const QVariant& value, const ClassSet& allowed, bool insideCollection);
    QVariant decodeClassObject(quint64 uid, const QVariantMap& object, const ClassSet& allowed, bool insideCollection);
    QVariant decodeArchivableObject(quint64 uid, const QVariantMap& object, const Factory& factory);
    const ArchivedClass* archivedClassOf(const QVariantMap& object);
    QVariant decodeDictionary(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeArray(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeMutableString(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeMutableData(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeDate(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeURL(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeRect(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeError(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeNull(const QVariantMap& object, const ClassSet& allowed);
    QVariant decodeText(const QVariant& reference);
    ClassSet allowedWith(const QStringList& classes) const;
    // Notes, once per archive, the user info of an error that platform::Error has no room for.
    void logDroppedUserInfo(const QStringList& keys);
    void refuseUnexpectedValue(const QString& key);
    QVariant fail(const QString& message);

    QVariantList m_objects;
    std::vector<QVariantMap> m_openObjects; // the top, then each object whose factory is running
    ClassSet m_allowedClasses;
    QSet<quint64> m_decoding;
    QHash<quint64, std::shared_ptr<Archivable>> m_archivables;
    std::unordered_map<quint64, ArchivedClass> m_classes; // by class entry; node-based, so entries stay put
    int m_depth = 0;
    SizeBudget m_budget;
    bool m_loggedDroppedUserInfo = false;
    Error m_error;
};

template <class T>
std::shared_ptr<T> KeyedUnarchiver::decodeArchivable(const QString& key, const QStringList& classes)
{
    const QVariant value = decodeObjectOfClasses(key, classes);
    if (!value.isValid())
        return nullptr;
    std::shared_ptr<T> object = Archivable::fromVariant<T>(value);
    if (!object)
        refuseUnexpectedValue(key);
    return object;
}

template <class T>
QList<std::shared_ptr<T>> KeyedUnarchiver::decodeArchivables(const QString& key, const QStringList& classes)
{
    const QVariant value = decodeObjectOfClasses(key, classes + QStringList{QStringLiteral("NSArray")});
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QVariantList) {
        refuseUnexpectedValue(key);
        return {};
    }
    QList<std::shared_ptr<T>> objects;
    for (const QVariant& item : value.toList()) {
        std::shared_ptr<T> object = Archivable::fromVariant<T>(item);
        if (!object) {
            refuseUnexpectedValue(key);
            return {};
        }
        objects.append(std::move(object));
    }
    return objects;
}

} // namespace platform

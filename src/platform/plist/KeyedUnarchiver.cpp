#include "platform/plist/KeyedUnarchiver.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/NestingLevel.h"
#include "platform/plist/PropertyList.h"

#include <QRectF>
#include <QUrl>

#include <mutex>
#include <optional>

namespace platform {
namespace Format = KeyedArchiveFormat;

namespace {

constexpr qint64 ReadCorruptError = 4864; // the platform's code for an archive that cannot be decoded

struct Registration {
    QStringList hierarchy;
    KeyedUnarchiver::Factory factory;
};

class Registry {
public:
    void insert(const QStringList& hierarchy, KeyedUnarchiver::Factory factory)
    {
        const std::lock_guard lock(m_mutex);
        m_registrations.insert(hierarchy.first(), Registration{hierarchy, std::move(factory)});
    }

    std::optional<Registration> find(const QString& className) const
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_registrations.constFind(className);
        return found == m_registrations.cend() ? std::nullopt : std::optional(*found);
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, Registration> m_registrations;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

bool isReference(const QVariant& value)
{
    return value.typeId() == qMetaTypeId<PlistUID>();
}

// The class a plain object of the archive stands for; empty for kinds no object may be.
QString plainClassName(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return Format::String;
    case QMetaType::QByteArray:
        return Format::Data;
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return Format::Number;
    case QMetaType::QDateTime:
        return Format::Date;
    default:
        return {};
    }
}

qint64 payloadSize(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().size();
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray().size() : 0;
}

bool isNumber(const QVariant& value)
{
    return plainClassName(value) == Format::Number;
}

QVariant nullReference()
{
    return QVariant::fromValue(PlistUID{0});
}

} // namespace

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data, const QStringList& allowedClasses)
    : m_allowedClasses(allowedClasses.cbegin(), allowedClasses.cend())
{
    readArchive(data);
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::readArchive(const QByteArray& data)
{
    Error plistError;
    const QVariant archive = PropertyList::fromData(data, &plistError);
    if (!archive.isValid()) {
        fail(QStringLiteral("not a keyed archive: %1").arg(plistError.message));
        return;
    }
    const QVariantMap map = archive.toMap();
    const QVariant archiver = map.value(Format::ArchiverKey);
    const QVariant version = map.value(Format::VersionKey);
    const QVariant objects = map.value(Format::ObjectsKey);
    const QVariant top = map.value(Format::TopKey);
    if (archive.typeId() != QMetaType::QVariantMap || archiver.typeId() != QMetaType::QString
        || archiver.toString() != Format::ArchiverName) {
        fail(QStringLiteral("not a keyed archive"));
    } else if (version.typeId() != QMetaType::LongLong || version.toLongLong() != Format::Version) {
        fail(QStringLiteral("unsupported keyed archive version"));
    } else if (objects.typeId() != QMetaType::QVariantList || objects.toList().value(0) != QVariant(Format::NullObject)) {
        fail(QStringLiteral("keyed archive has no object table starting with $null"));
    } else if (top.typeId() != QMetaType::QVariantMap) {
        fail(QStringLiteral("keyed archive has no top object"));
    } else {
        m_objects = objects.toList();
        m_openObjects.push_back(top.toMap());
    }
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return !m_openObjects.empty() && m_openObjects.back().contains(Format::storedKey(key));
}

QVariant KeyedUnarchiver::decodeObject(const QString& key)
{
    return decodeObjectOfClasses(key, Format::propertyListClasses());
}

QVariant KeyedUnarchiver::decodeObjectOfClasses(const QString& key, const QStringList& classes)
{
    if (hasError() || !containsValueForKey(key))
        return {};
    return decodeReference(storedValue(key), allowedWith(classes), false);
}

qint64 KeyedUnarchiver::decodeInteger(const QString& key)
{
    const QVariant value = storedValue(key);
    if (!value.isValid())
        return 0;
    if (value.typeId() == QMetaType::Double) {
        constexpr double Limit = 0x1p63;
        const double number = value.toDouble();
        if (number >= -Limit && number < Limit)
            return qint64(number);
    } else if (value.typeId() == QMetaType::ULongLong) {
        return qint64(value.toULongLong()); // keeps its bits, as an unsigned value was given to encodeInteger
    } else if (isNumber(value)) {
        return value.toLongLong();
    }
    refuseUnexpectedValue(key);
    return 0;
}

bool KeyedUnarchiver::decodeBool(const QString& key)
{
    const QVariant value = storedValue(key);
    if (!value.isValid())
        return false;
    if (isNumber(value))
        return value.toBool();
    refuseUnexpectedValue(key);
    return false;
}

double KeyedUnarchiver::decodeDouble(const QString& key)
{
    const QVariant value = storedValue(key);
    if (!value.isValid())
        return 0;
    if (isNumber(value))
        return value.toDouble();
    refuseUnexpectedValue(key);
    return 0;
}

void KeyedUnarchiver::failWithError(const Error& error)
{
    if (!hasError())
        m_error = error;
}

void KeyedUnarchiver::registerClass(const QStringList& classHierarchy, Factory factory)
{
    if (!classHierarchy.value(0).isEmpty() && factory)
        registry().insert(classHierarchy, std::move(factory));
}

QVariant KeyedUnarchiver::unarchivedObjectOfClasses(const QByteArray& data, const QStringList& classes, Error* error)
{
    KeyedUnarchiver coder(data, classes);
    if (!coder.hasError() && !coder.containsValueForKey(Format::RootKey))
        coder.fail(QStringLiteral("keyed archive has no root object"));
    const QVariant root = coder.decodeObjectOfClasses(Format::RootKey, classes);
    if (coder.hasError()) {
        setError(error, coder.error());
        return {};
    }
    return root;
}

QVariant KeyedUnarchiver::storedValue(const QString& key) const
{
    if (hasError() || m_openObjects.empty())
        return {};
    return m_openObjects.back().value(Format::storedKey(key));
}

QVariant KeyedUnarchiver::decodeReference(const QVariant& reference, const ClassSet& allowed, bool insideCollection)
{
    if (!isReference(reference))
        return fail(QStringLiteral("keyed archive holds a value where an object reference belongs"));
    const quint64 uid = reference.value<PlistUID>().value;
    if (uid >= quint64(m_objects.size()))
        return fail(QStringLiteral("keyed archive refers to object %1 of %2").arg(uid).arg(m_objects.size()));
    if (uid == 0)
        return insideCollection ? fail(QStringLiteral("keyed archive has $null inside a collection")) : QVariant();
    if (m_decoding.contains(uid))
        return fail(QStringLiteral("keyed archive objects refer to each other in a cycle"));
    const NestingLevel level(m_depth);
    const QVariant& entry = m_objects.at(qsizetype(uid));
    if (level.tooDeep())
        return fail(QStringLiteral("keyed archive nested too deeply"));
    if (!m_budget.charge(payloadSize(entry)))
        return fail(QStringLiteral("keyed archive expands beyond the size limit"));
    if (entry.typeId() != QMetaType::QVariantMap)
        return decodePlainValue(entry, allowed, insideCollection);
    m_decoding.insert(uid);
    const QVariant result = decodeClassObject(uid, entry.toMap(), allowed, insideCollection);
    m_decoding.remove(uid);
    return result;
}

QVariant KeyedUnarchiver::decodePlainValue(const QVariant& value, const ClassSet& allowed, bool insideCollection)
{
    const QString className = plainClassName(value);
    if (className.isEmpty())
        return fail(QStringLiteral("keyed archive holds a malformed object"));
    const QStringList hierarchy = Format::builtInClassHierarchy(className);
    if (!insideCollection && !allowed.intersects(ClassSet(hierarchy.cbegin(), hierarchy.cend())))
        return fail(QStringLiteral("keyed archive holds a %1 where it is not allowed").arg(className));
    return value;
}

QVariant KeyedUnarchiver::decodeClassObject(quint64 uid, const QVariantMap& object, const ClassSet& allowed, bool insideCollection)
{
    const ArchivedClass* archivedClass = archivedClassOf(object);
    if (!archivedClass)
        return {};
    const bool inert = insideCollection && Format::isValueClass(archivedClass->name);
    if (!inert && !allowed.intersects(archivedClass->hierarchy))
        return fail(QStringLiteral("keyed archive holds an object of class %1, which is not allowed here").arg(archivedClass->name));
    if (archivedClass->factory)
        return decodeArchivableObject(uid, object, archivedClass->factory);
    if (archivedClass->decoder)
        return (this->*archivedClass->decoder)(object, allowed);
    return fail(QStringLiteral("keyed archive holds a malformed %1").arg(archivedClass->name));
}

QVariant KeyedUnarchiver::decodeArchivableObject(quint64 uid, const QVariantMap& object, const Factory& factory)
{
    if (const auto known = m_archivables.constFind(uid); known != m_archivables.cend())
        return Archivable::toVariant(*known);
    m_openObjects.push_back(object);
    const std::shared_ptr<Archivable> decoded = factory(*this);
    m_openObjects.pop_back();
    if (hasError())
        return {};
    if (!decoded)
        return fail(QStringLiteral("keyed archive holds an object its class could not decode"));
    m_archivables.insert(uid, decoded);
    return Archivable::toVariant(decoded);
}

const KeyedUnarchiver::ArchivedClass* KeyedUnarchiver::archivedClassOf(const QVariantMap& object)
{
    static const QHash<QString, Decoder> decoders{
        {Format::Dictionary, &KeyedUnarchiver::decodeDictionary},
        {Format::MutableDictionary, &KeyedUnarchiver::decodeDictionary},
        {Format::Array, &KeyedUnarchiver::decodeArray},
        {Format::MutableArray, &KeyedUnarchiver::decodeArray},
        {Format::Set, &KeyedUnarchiver::decodeArray},
        {Format::MutableSet, &KeyedUnarchiver::decodeArray},
        {Format::MutableString, &KeyedUnarchiver::decodeMutableString},
        {Format::MutableData, &KeyedUnarchiver::decodeMutableData},
        {Format::Date, &KeyedUnarchiver::decodeDate},
        {Format::URL, &KeyedUnarchiver::decodeURL},
        {Format::Value, &KeyedUnarchiver::decodeRect},
        {Format::ErrorClass, &KeyedUnarchiver::decodeError},
        {Format::Null, &KeyedUnarchiver::decodeNull},
    };
    const QVariant reference = object.value(Format::ClassKey);
    const quint64 uid = isReference(reference) ? reference.value<PlistUID>().value : 0;
    if (uid == 0 || uid >= quint64(m_objects.size())) {
        fail(QStringLiteral("keyed archive holds an object without a valid class reference"));
        return nullptr;
    }
    if (const auto known = m_classes.find(uid); known != m_classes.end())
        return &known->second;
    const QVariant entry = m_objects.at(qsizetype(uid));
    const QString name = entry.toMap().value(Format::ClassNameKey).toString();
    if (entry.typeId() != QMetaType::QVariantMap || entry.toMap().value(Format::ClassNameKey).typeId() != QMetaType::QString || name.isEmpty()) {
        fail(QStringLiteral("keyed archive holds a malformed class entry"));
        return nullptr;
    }
    ArchivedClass archivedClass{name, {}, {}, decoders.value(name)};
    QStringList hierarchy = Format::builtInClassHierarchy(name);
    if (hierarchy.isEmpty()) {
        const auto registration = registry().find(name);
        if (!registration) {
            fail(QStringLiteral("keyed archive holds an object of class %1, which cannot be decoded").arg(name));
            return nullptr;
        }
        hierarchy = registration->hierarchy;
        archivedClass.factory = registration->factory;
    }
    archivedClass.hierarchy = ClassSet(hierarchy.cbegin(), hierarchy.cend());
    return &m_classes.emplace(uid, std::move(archivedClass)).first->second;
}

QVariant KeyedUnarchiver::decodeDictionary(const QVariantMap& object, const ClassSet& allowed)
{
    const QVariant keys = object.value(Format::KeysKey);
    const QVariant values = object.value(Format::ObjectsListKey);
    if (keys.typeId() != QMetaType::QVariantList || values.typeId() != QMetaType::QVariantList
        || keys.toList().size() != values.toList().size())
        return fail(QStringLiteral("keyed archive holds a malformed dictionary"));
    const QVariantList keyList = keys.toList();
    const QVariantList valueList = values.toList();
    QVariantMap map;
    for (qsizetype i = 0; i < keyList.size(); ++i) {
        const QVariant key = decodeText(keyList.at(i));
        const QVariant value = decodeReference(valueList.at(i), allowed, true);
        if (hasError())
            return {};
        map.insert(key.toString(), value);
    }
    return map;
}

QVariant KeyedUnarchiver::decodeArray(const QVariantMap& object, const ClassSet& allowed)
{
    const QVariant values = object.value(Format::ObjectsListKey);
    if (values.typeId() != QMetaType::QVariantList)
        return fail(QStringLiteral("keyed archive holds a malformed array"));
    QVariantList list;
    for (const QVariant& reference : values.toList()) {
        list.append(decodeReference(reference, allowed, true));
        if (hasError())
            return {};
    }
    return list;
}

QVariant KeyedUnarchiver::decodeMutableString(const QVariantMap& object, const ClassSet&)
{
    const QVariant text = object.value(Format::MutableStringKey);
    return text.typeId() == QMetaType::QString ? text : fail(QStringLiteral("keyed archive holds a malformed string"));
}

QVariant KeyedUnarchiver::decodeMutableData(const QVariantMap& object, const ClassSet&)
{
    const QVariant bytes = object.value(Format::MutableDataKey);
    return bytes.typeId() == QMetaType::QByteArray ? bytes : fail(QStringLiteral("keyed archive holds malformed data"));
}

QVariant KeyedUnarchiver::decodeDate(const QVariantMap& object, const ClassSet&)
{
    const QVariant time = object.value(Format::TimeKey);
    const QDateTime date = time.typeId() == QMetaType::Double || time.typeId() == QMetaType::LongLong
                               ? PropertyList::dateFromReferenceSeconds(time.toDouble())
                               : QDateTime();
    return date.isValid() ? QVariant(date) : fail(QStringLiteral("keyed archive holds a malformed date"));
}

QVariant KeyedUnarchiver::decodeURL(const QVariantMap& object, const ClassSet&)
{
    const QVariant relative = decodeText(object.value(Format::URLRelativeKey));
    if (hasError())
        return {};
    QUrl url(relative.toString());
    const QVariant base = decodeReference(object.value(Format::URLBaseKey, nullReference()), ClassSet{Format::URL}, false);
    if (hasError())
        return {};
    if (base.isValid())
        url = base.toUrl().resolved(url);
    return url.isValid() ? QVariant(url) : fail(QStringLiteral("keyed archive holds an invalid URL"));
}

QVariant KeyedUnarchiver::decodeRect(const QVariantMap& object, const ClassSet&)
{
    const QVariant kind = object.value(Format::ValueKindKey);
    const QVariant text = object.value(Format::RectKey);
    const std::optional<QRectF> rect = text.typeId() == QMetaType::QString ? Format::rectFromText(text.toString()) : std::nullopt;
    if (kind.typeId() != QMetaType::LongLong || kind.toLongLong() != Format::RectValueKind || !rect)
        return fail(QStringLiteral("keyed archive holds a value that is not a rectangle"));
    return *rect;
}

// User info is read with the classes the platform's errors carry in it (file URLs and paths,
// underlying errors), not with those the caller allowed for the error itself.
QVariant KeyedUnarchiver::decodeError(const QVariantMap& object, const ClassSet&)
{
    static const QStringList classes = Format::propertyListClasses() + QStringList{Format::URL, Format::ErrorClass, Format::Null};
    static const ClassSet userInfoClasses(classes.cbegin(), classes.cend());
    const QVariant code = object.value(Format::ErrorCodeKey);
    const QVariant domain = decodeText(object.value(Format::ErrorDomainKey));
    const QVariant userInfo = decodeReference(object.value(Format::ErrorUserInfoKey, nullReference()), userInfoClasses, false);
    if (hasError())
        return {};
    if (!isNumber(code) || (userInfo.isValid() && userInfo.typeId() != QMetaType::QVariantMap))
        return fail(QStringLiteral("keyed archive holds a malformed error"));
    QVariantMap unkept = userInfo.toMap();
    const QString message = unkept.take(Format::ErrorDescriptionKey).toString();
    logDroppedUserInfo(unkept.keys());
    return QVariant::fromValue(Error{domain.toString(), code.toLongLong(), message});
}

QVariant KeyedUnarchiver::decodeNull(const QVariantMap&, const ClassSet&)
{
    return QVariant::fromValue(nullptr);
}

QVariant KeyedUnarchiver::decodeText(const QVariant& reference)
{
    const QVariant text = decodeReference(reference, {}, true);
    if (hasError() || text.typeId() == QMetaType::QString)
        return text;
    return fail(QStringLiteral("keyed archive holds a non-text value where text belongs"));
}

KeyedUnarchiver::ClassSet KeyedUnarchiver::allowedWith(const QStringList& classes) const
{
    ClassSet allowed = m_allowedClasses;
    for (const QString& className : classes)
        allowed.insert(className);
    return allowed;
}

void KeyedUnarchiver::logDroppedUserInfo(const QStringList& keys)
{
    if (keys.isEmpty() || m_loggedDroppedUserInfo)
        return;
    m_loggedDroppedUserInfo = true;
    Log::log(QStringLiteral("keyed archive: errors are read without the user info they have no room for (first dropped: %1)")
                 .arg(keys.join(QStringLiteral(", "))));
}

void KeyedUnarchiver::refuseUnexpectedValue(const QString& key)
{
    fail(QStringLiteral("keyed archive holds a value of an unexpected kind for key %1").arg(key));
}

QVariant KeyedUnarchiver::fail(const QString& message)
{
    failWithError(Error{Error::CocoaDomain, ReadCorruptError, message});
    return {};
}

} // namespace platform

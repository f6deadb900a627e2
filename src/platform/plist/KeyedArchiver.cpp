#include "platform/plist/KeyedArchiver.h"

#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/NestingLevel.h"
#include "platform/plist/PropertyList.h"

#include <QRectF>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace platform {
namespace Format = KeyedArchiveFormat;

namespace {

constexpr qint64 InvalidValueError = 4866; // the platform's code for a value a coder cannot write

// How a value is archived.
enum class Kind { Plain, String, Dictionary, Array, Date, URL, Rect, ErrorObject, Null, Object, Unsupported };

Kind kindOf(const QVariant& value)
{
    const int type = value.typeId();
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::QByteArray:
        return Kind::Plain;
    case QMetaType::QString:
        return Kind::String;
    case QMetaType::QVariantMap:
        return Kind::Dictionary;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return Kind::Array;
    case QMetaType::QDateTime:
        return Kind::Date;
    case QMetaType::QUrl:
        return Kind::URL;
    case QMetaType::QRectF:
        return Kind::Rect;
    case QMetaType::Nullptr:
        return Kind::Null;
    default:
        if (type == qMetaTypeId<Error>())
            return Kind::ErrorObject;
        if (type == qMetaTypeId<std::shared_ptr<Archivable>>())
            return Kind::Object;
        return Kind::Unsupported;
    }
}

// A value that stands for "nothing", written as a reference to $null.
bool isNone(const QVariant& value)
{
    switch (kindOf(value)) {
    case Kind::String:
        return value.toString().isNull();
    case Kind::Plain:
        return value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull();
    case Kind::URL:
        return value.toUrl().isEmpty();
    case Kind::Date:
        return !value.toDateTime().isValid();
    case Kind::Object:
        return !value.value<std::shared_ptr<Archivable>>();
    default:
        return !value.isValid();
    }
}

bool isFinite(const QRectF& rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) && std::isfinite(rect.height());
}

bool canArchive(const QVariant& value, int depth)
{
    if (depth > PropertyList::MaximumDepth)
        return false;
    // A collection cannot hold a missing value: it would read back as something else.
    const auto canArchiveInside = [depth](const QVariant& item) { return !isNone(item) && canArchive(item, depth + 1); };
    switch (kindOf(value)) {
    case Kind::Plain:
    case Kind::String:
    case Kind::ErrorObject:
    case Kind::Null:
        return true;
    case Kind::Dictionary: {
        const QVariantMap map = value.toMap();
        return std::all_of(map.cbegin(), map.cend(), canArchiveInside);
    }
    case Kind::Array: {
        const QVariantList list = value.toList();
        return std::all_of(list.cbegin(), list.cend(), canArchiveInside);
    }
    case Kind::Date:
        return std::isfinite(PropertyList::referenceSecondsFromDate(value.toDateTime()));
    case Kind::URL:
        return value.toUrl().isValid() && !value.toUrl().isEmpty();
    case Kind::Rect:
        return isFinite(value.toRectF());
    case Kind::Object:
        return value.value<std::shared_ptr<Archivable>>() != nullptr;
    case Kind::Unsupported:
        return false;
    }
    return false;
}

QVariant reference(quint64 uid)
{
    return QVariant::fromValue(PlistUID{uid});
}

qint64 payloadSize(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().size();
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray().size() : 0;
}

} // namespace

KeyedArchiver::KeyedArchiver()
    : m_objects{Format::NullObject}, m_openObjects(1), m_openIndexes{-1}
{
}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::encodeObject(const QVariant& object, const QString& key, Mutability mutability)
{
    if (hasError())
        return;
    const quint64 uid = isNone(object) ? 0 : encodeValue(object, mutability);
    if (!hasError())
        store(key, reference(uid));
}

void KeyedArchiver::encodeArchivable(const Archivable* object, const QString& key)
{
    if (hasError())
        return;
    const quint64 uid = object ? encodeArchivableObject(*object) : 0;
    if (!hasError())
        store(key, reference(uid));
}

void KeyedArchiver::encodeConditionalArchivable(const Archivable* object, const QString& key)
{
    if (hasError())
        return;
    store(key, reference(0));
    if (object)
        m_conditionals.push_back({m_openIndexes.back(), Format::storedKey(key), object});
}

void KeyedArchiver::encodeInteger(qint64 value, const QString& key)
{
    if (!hasError())
        store(key, value);
}

void KeyedArchiver::encodeBool(bool value, const QString& key)
{
    if (!hasError())
        store(key, value);
}

void KeyedArchiver::encodeDouble(double value, const QString& key)
{
    if (!hasError())
        store(key, value);
}

void KeyedArchiver::failWithError(const Error& error)
{
    if (!hasError())
        m_error = error;
}

QByteArray KeyedArchiver::encodedData(Error* error)
{
    if (hasError()) {
        setError(error, m_error);
        return {};
    }
    for (const ConditionalReference& conditional : m_conditionals) {
        const QVariant target = reference(m_archivables.value(conditional.object, 0));
        if (conditional.holder < 0) {
            m_openObjects.front().insert(conditional.key, target);
        } else {
            QVariantMap holder = m_objects[conditional.holder].toMap();
            holder.insert(conditional.key, target);
            m_objects[conditional.holder] = holder;
        }
    }
    const QVariantMap archive{
        {Format::ArchiverKey, Format::ArchiverName},
        {Format::VersionKey, Format::Version},
        {Format::TopKey, m_openObjects.front()},
        {Format::ObjectsKey, m_objects},
    };
    return PropertyList::toData(archive, PropertyList::Format::Binary, error);
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const QVariant& root, Error* error, Mutability mutability)
{
    KeyedArchiver archiver;
    archiver.encodeObject(root, Format::RootKey, mutability);
    return archiver.encodedData(error);
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const Archivable& root, Error* error)
{
    KeyedArchiver archiver;
    archiver.encodeArchivable(&root, Format::RootKey);
    return archiver.encodedData(error);
}

bool KeyedArchiver::supportsSecureCoding(const QVariant& value)
{
    return canArchive(value, 0);
}

quint64 KeyedArchiver::encodeValue(const QVariant& value, Mutability mutability)
{
    // Missing values are written as $null references by encodeObject; here they are inside a collection.
    if (isNone(value))
        return fail(QStringLiteral("a collection cannot hold a missing value"));
    const Kind kind = kindOf(value);
    if (kind == Kind::Object)
        return encodeArchivableObject(*value.value<std::shared_ptr<Archivable>>());
    const NestingLevel level(m_depth);
    if (level.tooDeep())
        return fail(QStringLiteral("value nested too deeply to archive"));
    if (!m_budget.charge(payloadSize(value)))
        return fail(QStringLiteral("value too large to archive"));
    switch (kind) {
    case Kind::Plain:
        return appendObject(value);
    case Kind::String:
        return encodeString(value.toString());
    case Kind::Dictionary:
        return encodeDictionary(value.toMap(), mutability);
    case Kind::Array:
        return encodeArray(value.toList(), mutability);
    case Kind::Date:
        return encodeDate(value.toDateTime());
    case Kind::URL:
        return encodeURL(value.toUrl());
    case Kind::Rect:
        return encodeRect(value.toRectF());
    case Kind::ErrorObject:
        return encodeError(value.value<Error>());
    case Kind::Null:
        return encodeClassObject(Format::Null, [](QVariantMap&) {});
    default:
        return fail(QStringLiteral("cannot archive a value of type %1")
                        .arg(QString::fromLatin1(value.metaType().name())));
    }
}

quint64 KeyedArchiver::encodeArchivableObject(const Archivable& object)
{
    if (const auto known = m_archivables.constFind(&object); known != m_archivables.cend())
        return *known;
    const QStringList hierarchy = object.archiveClassHierarchy();
    if (hierarchy.value(0).isEmpty())
        return fail(QStringLiteral("an archived object must name its class"));
    const NestingLevel level(m_depth);
    if (level.tooDeep() || !m_budget.charge())
        return fail(QStringLiteral("object graph too deep or too large to archive"));
    const quint64 uid = reserveObject();
    m_archivables.insert(&object, uid);
    m_openObjects.emplace_back();
    m_openIndexes.push_back(qsizetype(uid));
    object.encodeWithCoder(*this);
    QVariantMap contents = std::move(m_openObjects.back());
    m_openObjects.pop_back();
    m_openIndexes.pop_back();
    if (hasError())
        return 0;
    contents.insert(Format::ClassKey, reference(classReference(hierarchy)));
    m_objects[qsizetype(uid)] = contents;
    return uid;
}

template <class Fill>
quint64 KeyedArchiver::encodeClassObject(const QString& className, Fill fill)
{
    const quint64 uid = reserveObject();
    QVariantMap contents;
    fill(contents);
    if (hasError())
        return 0;
    contents.insert(Format::ClassKey, reference(classReference(Format::builtInClassHierarchy(className))));
    m_objects[qsizetype(uid)] = contents;
    return uid;
}

quint64 KeyedArchiver::encodeDictionary(const QVariantMap& map, Mutability mutability)
{
    const QString className = mutability == Mutability::Mutable ? Format::MutableDictionary : Format::Dictionary;
    return encodeClassObject(className, [&](QVariantMap& contents) {
        QVariantList keys;
        QVariantList values;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            keys.append(reference(encodeString(it.key())));
        for (auto it = map.cbegin(); it != map.cend() && !hasError(); ++it)
            values.append(reference(encodeValue(it.value(), mutability)));
        contents.insert(Format::KeysKey, keys);
        contents.insert(Format::ObjectsListKey, values);
    });
}

quint64 KeyedArchiver::encodeArray(const QVariantList& list, Mutability mutability)
{
    const QString className = mutability == Mutability::Mutable ? Format::MutableArray : Format::Array;
    return encodeClassObject(className, [&](QVariantMap& contents) {
        QVariantList values;
        for (auto it = list.cbegin(); it != list.cend() && !hasError(); ++it)
            values.append(reference(encodeValue(*it, mutability)));
        contents.insert(Format::ObjectsListKey, values);
    });
}

quint64 KeyedArchiver::encodeString(const QString& text)
{
    if (const auto known = m_strings.constFind(text); known != m_strings.cend())
        return *known;
    const quint64 uid = appendObject(text);
    m_strings.insert(text, uid);
    return uid;
}

quint64 KeyedArchiver::encodeDate(const QDateTime& date)
{
    const double seconds = PropertyList::referenceSecondsFromDate(date);
    if (!std::isfinite(seconds))
        return fail(QStringLiteral("cannot archive a date that is invalid or outside the years 1 to 9999"));
    return encodeClassObject(Format::Date, [&](QVariantMap& contents) { contents.insert(Format::TimeKey, seconds); });
}

quint64 KeyedArchiver::encodeURL(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return fail(QStringLiteral("cannot archive an invalid or empty URL"));
    return encodeClassObject(Format::URL, [&](QVariantMap& contents) {
        contents.insert(Format::URLBaseKey, reference(0));
        contents.insert(Format::URLRelativeKey, reference(encodeString(url.toString(QUrl::FullyEncoded))));
    });
}

quint64 KeyedArchiver::encodeRect(const QRectF& rect)
{
    if (!isFinite(rect))
        return fail(QStringLiteral("cannot archive a rectangle that is not finite"));
    return encodeClassObject(Format::Value, [&](QVariantMap& contents) {
        contents.insert(Format::RectKey, Format::rectText(rect));
        contents.insert(Format::ValueKindKey, Format::RectValueKind);
    });
}

quint64 KeyedArchiver::encodeError(const Error& error)
{
    return encodeClassObject(Format::ErrorClass, [&](QVariantMap& contents) {
        contents.insert(Format::ErrorCodeKey, error.code);
        contents.insert(Format::ErrorDomainKey, reference(encodeString(error.domain)));
        QVariantMap userInfo;
        if (!error.message.isNull())
            userInfo.insert(Format::ErrorDescriptionKey, error.message);
        contents.insert(Format::ErrorUserInfoKey, reference(encodeDictionary(userInfo, Mutability::Immutable)));
    });
}

quint64 KeyedArchiver::reserveObject()
{
    return appendObject(QVariant());
}

quint64 KeyedArchiver::appendObject(const QVariant& object)
{
    m_objects.append(object);
    return quint64(m_objects.size() - 1);
}

quint64 KeyedArchiver::classReference(const QStringList& hierarchy)
{
    const QString& className = hierarchy.first();
    if (const auto known = m_classes.constFind(className); known != m_classes.cend())
        return *known;
    const quint64 uid = appendObject(QVariantMap{{Format::ClassNameKey, className}, {Format::ClassesKey, hierarchy}});
    m_classes.insert(className, uid);
    return uid;
}

void KeyedArchiver::store(const QString& key, const QVariant& value)
{
    m_openObjects.back().insert(Format::storedKey(key), value);
}

quint64 KeyedArchiver::fail(const QString& message)
{
    failWithError(Error{Error::CocoaDomain, InvalidValueError, message});
    return 0;
}

} // namespace platform

#include "core/foundation/ZORVAK_Audit.h"

#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include <QUuid>

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

using platform::Archivable;
using platform::Error;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

namespace {

const QString UuidKey = QStringLiteral("self.uuid");
const QString ParentKey = QStringLiteral("self.parent");
const QString DisplayNameKey = QStringLiteral("self.displayName");
const QString StartKey = QStringLiteral("self.start");
const QString EndKey = QStringLiteral("self.end");
const QString ProviderKeysKey = QStringLiteral("self.providerKeys");
const QString ProductsKey = QStringLiteral("self.products");
const QString ErrorsKey = QStringLiteral("self.errors");
const QString ChildrenKey = QStringLiteral("self.children");

constexpr qint64 CorruptArchiveCode = 4864;

// What the store keeps for one audited object: both held weakly, so that neither lives longer
// because it was audited.
struct StoreEntry {
    std::weak_ptr<const ZORVAK_Audited> object;
    std::weak_ptr<ZORVAK_Audit> record;
};

struct Store {
    std::mutex mutex;
    QHash<const ZORVAK_Audited*, StoreEntry> entries;
};

struct Stack {
    std::mutex mutex;
    QList<std::weak_ptr<ZORVAK_Audit>> records;
};

Store& theStore()
{
    static Store store;
    return store;
}

Stack& theStack()
{
    static Stack stack;
    return stack;
}

// Forgets entries whose object or record no longer exists. Called with the store locked.
void dropDeadEntries(Store& store)
{
    store.entries.removeIf([](const auto& item) { return item.value().object.expired() || item.value().record.expired(); });
}

// The live record of `object`, or null. Called with the store locked.
std::shared_ptr<ZORVAK_Audit> liveRecord(Store& store, const ZORVAK_Audited* object)
{
    dropDeadEntries(store);
    return store.entries.value(object).record.lock();
}

// The name of the object's class, without namespaces; empty when it cannot be told.
QString classNameOf(const ZORVAK_Audited& object)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(typeid(object).name(), nullptr, nullptr, &status);
    const QString name = status == 0 && demangled ? QString::fromUtf8(demangled) : QString();
    std::free(demangled);
    const qsizetype separator = name.lastIndexOf(QLatin1String("::"));
    return separator < 0 ? name : name.mid(separator + 2);
}

void refuse(KeyedUnarchiver& coder, const QString& key)
{
    coder.failWithError(Error{Error::CocoaDomain, CorruptArchiveCode,
                              QStringLiteral("audit record holds an unexpected value for %1").arg(key)});
}

QStringList decodeStrings(KeyedUnarchiver& coder, const QString& key)
{
    const QVariant value = coder.decodeObjectOfClasses(key, {QStringLiteral("NSArray")});
    if (value.isValid() && value.typeId() != QMetaType::QVariantList) {
        refuse(coder, key);
        return {};
    }
    QStringList strings;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QString) {
            refuse(coder, key);
            return {};
        }
        strings.append(item.toString());
    }
    return strings;
}

QList<Error> decodeErrors(KeyedUnarchiver& coder, const QString& key)
{
    const QVariant value = coder.decodeObjectOfClasses(key, {QStringLiteral("NSMutableArray"), QStringLiteral("NSError")});
    if (value.isValid() && value.typeId() != QMetaType::QVariantList) {
        refuse(coder, key);
        return {};
    }
    QList<Error> errors;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != qMetaTypeId<Error>()) {
            refuse(coder, key);
            return {};
        }
        errors.append(item.value<Error>());
    }
    return errors;
}

// Products are any plain values the archiver writes: property-list values, URLs, rectangles,
// errors and NSNull placeholders in collections.
QVariantMap decodeProducts(KeyedUnarchiver& coder, const QString& key)
{
    const QVariant value = coder.decodeObjectOfClasses(key, platform::KeyedArchiveFormat::archivedValueClasses());
    if (value.isValid() && value.typeId() != QMetaType::QVariantMap)
        refuse(coder, key);
    return value.toMap();
}

QVariantList errorVariants(const QList<Error>& errors)
{
    QVariantList variants;
    for (const Error& error : errors)
        variants.append(QVariant::fromValue(error));
    return variants;
}

[[maybe_unused]] const bool registeredForDecoding = [] {
    KeyedUnarchiver::registerClass({ZORVAK_Audit::ClassName, QStringLiteral("NSObject")}, &ZORVAK_Audit::initWithCoder);
    return true;
}();

} // namespace

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::initForObject(const ZORVAK_Audited& object)
{
    std::shared_ptr<ZORVAK_Audit> record(new ZORVAK_Audit);
    record->m_providerKeys = object.auditedProductKeys();
    record->m_start = QDateTime::currentDateTimeUtc();
    const QString className = classNameOf(object);
    record->m_displayName = object.auditedDisplayName().value_or(className.isEmpty() ? QStringLiteral("unknown object type") : className);
    const std::shared_ptr<ZORVAK_Audit> parent = current();
    const QString parentUuid = parent ? parent->uuid() : QString();
    if (parentUuid.isEmpty()) {
        record->m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    } else {
        record->m_parent = parent;
        record->m_uuid = parentUuid;
        parent->addChild(record);
    }
    return record;
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::start(const std::shared_ptr<const ZORVAK_Audited>& object)
{
    if (!object)
        return nullptr;
    std::shared_ptr<ZORVAK_Audit> record = initForObject(*object);
    Store& store = theStore();
    const std::lock_guard lock(store.mutex);
    dropDeadEntries(store);
    store.entries.insert(object.get(), StoreEntry{object, record});
    return record;
}

void ZORVAK_Audit::end(const ZORVAK_Audited* object)
{
    std::shared_ptr<ZORVAK_Audit> record;
    {
        Store& store = theStore();
        const std::lock_guard lock(store.mutex);
        // The object may be in its destructor, so only the record has to be alive here.
        record = store.entries.take(object).record.lock();
    }
    if (record)
        record->setEnd(QDateTime::currentDateTimeUtc());
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::audit(const ZORVAK_Audited* object)
{
    Store& store = theStore();
    const std::lock_guard lock(store.mutex);
    return liveRecord(store, object);
}

void ZORVAK_Audit::auditedSetProduct(const ZORVAK_Audited* object, const QVariant& product, const QString& key)
{
    if (const std::shared_ptr<ZORVAK_Audit> record = audit(object))
        record->setProduct(product, key);
}

void ZORVAK_Audit::auditedAddError(const ZORVAK_Audited* object, const Error& error)
{
    if (const std::shared_ptr<ZORVAK_Audit> record = audit(object))
        record->addError(error);
}

QHash<const ZORVAK_Audited*, std::shared_ptr<ZORVAK_Audit>> ZORVAK_Audit::store()
{
    Store& store = theStore();
    const std::lock_guard lock(store.mutex);
    dropDeadEntries(store);
    QHash<const ZORVAK_Audited*, std::shared_ptr<ZORVAK_Audit>> records;
    for (auto it = store.entries.cbegin(); it != store.entries.cend(); ++it)
        records.insert(it.key(), it.value().record.lock());
    return records;
}

void ZORVAK_Audit::push(const std::shared_ptr<ZORVAK_Audit>& record)
{
    Stack& stack = theStack();
    const std::lock_guard lock(stack.mutex);
    stack.records.append(record);
}

void ZORVAK_Audit::pop()
{
    Stack& stack = theStack();
    const std::lock_guard lock(stack.mutex);
    if (!stack.records.isEmpty())
        stack.records.removeLast();
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::current()
{
    Stack& stack = theStack();
    const std::lock_guard lock(stack.mutex);
    return stack.records.isEmpty() ? nullptr : stack.records.constLast().lock();
}

void ZORVAK_Audit::clearStack()
{
    Stack& stack = theStack();
    const std::lock_guard lock(stack.mutex);
    stack.records.clear();
}

QList<std::shared_ptr<ZORVAK_Audit>> ZORVAK_Audit::stack()
{
    Stack& stack = theStack();
    const std::lock_guard lock(stack.mutex);
    QList<std::shared_ptr<ZORVAK_Audit>> records;
    for (const std::weak_ptr<ZORVAK_Audit>& entry : std::as_const(stack.records)) {
        if (std::shared_ptr<ZORVAK_Audit> record = entry.lock())
            records.append(std::move(record));
    }
    return records;
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::parent() const
{
    const std::lock_guard lock(m_mutex);
    return m_parent.lock();
}

QString ZORVAK_Audit::uuid() const
{
    const std::lock_guard lock(m_mutex);
    return m_uuid;
}

QString ZORVAK_Audit::displayName() const
{
    const std::lock_guard lock(m_mutex);
    return m_displayName;
}

QDateTime ZORVAK_Audit::start() const
{
    const std::lock_guard lock(m_mutex);
    return m_start;
}

QDateTime ZORVAK_Audit::end() const
{
    const std::lock_guard lock(m_mutex);
    return m_end;
}

QStringList ZORVAK_Audit::providerKeys() const
{
    const std::lock_guard lock(m_mutex);
    return m_providerKeys;
}

ZORVAK_Audit::Products ZORVAK_Audit::products() const
{
    const std::lock_guard lock(m_mutex);
    return m_products;
}

QList<Error> ZORVAK_Audit::errors() const
{
    const std::lock_guard lock(m_mutex);
    return m_errors;
}

QList<std::shared_ptr<ZORVAK_Audit>> ZORVAK_Audit::children() const
{
    const std::lock_guard lock(m_mutex);
    return m_children;
}

void ZORVAK_Audit::addChild(const std::shared_ptr<ZORVAK_Audit>& child)
{
    const std::lock_guard lock(m_mutex);
    m_children.append(child);
}

void ZORVAK_Audit::addError(const Error& error)
{
    const std::lock_guard lock(m_mutex);
    m_errors.append(error);
}

QVariant ZORVAK_Audit::product(const QString& key) const
{
    const std::lock_guard lock(m_mutex);
    return m_products.value(key);
}

void ZORVAK_Audit::setProduct(const QVariant& product, const QString& key)
{
    const std::lock_guard lock(m_mutex);
    m_products.insert(key, product);
}

void ZORVAK_Audit::setEnd(const QDateTime& end)
{
    const std::lock_guard lock(m_mutex);
    m_end = end;
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::copy(Error* error) const
{
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(*this, error);
    if (data.isEmpty())
        return nullptr;
    std::shared_ptr<ZORVAK_Audit> copy =
        Archivable::fromVariant<ZORVAK_Audit>(KeyedUnarchiver::unarchivedObjectOfClasses(data, {ClassName}, error));
    if (copy)
        copy->m_parent = parent();
    return copy;
}

QStringList ZORVAK_Audit::archiveClassHierarchy() const
{
    return {ClassName, QStringLiteral("NSObject")};
}

void ZORVAK_Audit::encodeWithCoder(KeyedArchiver& coder) const
{
    const std::shared_ptr<ZORVAK_Audit> parentRecord = parent();
    const std::lock_guard lock(m_mutex);
    coder.encodeObject(m_uuid, UuidKey);
    coder.encodeConditionalArchivable(parentRecord.get(), ParentKey);
    coder.encodeObject(m_displayName, DisplayNameKey);
    coder.encodeObject(m_start, StartKey);
    coder.encodeObject(m_end, EndKey);
    coder.encodeObject(m_providerKeys, ProviderKeysKey);
    // Products, errors and children exist once something was added.
    coder.encodeObject(m_products.isEmpty() ? QVariant() : QVariant(m_products), ProductsKey, KeyedArchiver::Mutability::Mutable);
    coder.encodeObject(m_errors.isEmpty() ? QVariant() : QVariant(errorVariants(m_errors)), ErrorsKey, KeyedArchiver::Mutability::Mutable);
    if (m_children.isEmpty())
        coder.encodeObject(QVariant(), ChildrenKey);
    else
        coder.encodeArchivables(m_children, ChildrenKey, KeyedArchiver::Mutability::Mutable);
}

std::shared_ptr<ZORVAK_Audit> ZORVAK_Audit::initWithCoder(KeyedUnarchiver& coder)
{
    std::shared_ptr<ZORVAK_Audit> record(new ZORVAK_Audit);
    record->m_uuid = coder.decodeObjectOfClasses(UuidKey, {QStringLiteral("NSString")}).toString();
    record->m_displayName = coder.decodeObjectOfClasses(DisplayNameKey, {QStringLiteral("NSString")}).toString();
    record->m_start = coder.decodeObjectOfClasses(StartKey, {QStringLiteral("NSDate")}).toDateTime();
    record->m_end = coder.decodeObjectOfClasses(EndKey, {QStringLiteral("NSDate")}).toDateTime();
    record->m_providerKeys = decodeStrings(coder, ProviderKeysKey);
    record->m_products = decodeProducts(coder, ProductsKey);
    record->m_errors = decodeErrors(coder, ErrorsKey);
    record->m_children = coder.decodeArchivables<ZORVAK_Audit>(ChildrenKey, {ClassName});
    for (const std::shared_ptr<ZORVAK_Audit>& child : std::as_const(record->m_children))
        child->m_parent = record;
    return coder.hasError() ? nullptr : record;
}

#pragma once

#include "core/foundation/ZORVAK_Audited.h"
#include "platform/Error.h"
#include "platform/plist/Archivable.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <mutex>

namespace platform {
class KeyedUnarchiver;
}

// A tree-shaped record of the work done for one audited object: when it started and ended,
// what it produced, which errors it met, and the records of the work done inside it.
//
// A process-wide store keeps the record of each audited object (by identity), and a
// process-wide stack names the record of the work in progress, which becomes the parent of
// records made while it is current. Both are safe across threads and hold their records
// weakly: a record lives as long as its owner (usually the audited object) or its parent keeps
// it, and the store forgets a record, or an object, that no longer exists.
class ZORVAK_Audit : public platform::Archivable {
public:
    using Products = QVariantMap;

    static inline const QString ClassName = QStringLiteral("ZORVAK_Audit");

    // A new record for `object`, made a child of the current record when there is one.
    static std::shared_ptr<ZORVAK_Audit> initForObject(const ZORVAK_Audited& object);

    // The process-wide store.
    // Makes a new record for `object` and stores it; the caller keeps the record alive.
    static std::shared_ptr<ZORVAK_Audit> start(const std::shared_ptr<const ZORVAK_Audited>& object);
    // Sets the end date of the object's record to now and forgets the object. Safe to call from
    // the object's destructor; does nothing for an object without a record.
    static void end(const ZORVAK_Audited* object);
    // The object's record, or null.
    static std::shared_ptr<ZORVAK_Audit> audit(const ZORVAK_Audited* object);
    static void auditedSetProduct(const ZORVAK_Audited* object, const QVariant& product, const QString& key);
    static void auditedAddError(const ZORVAK_Audited* object, const platform::Error& error);
    // The live records of the store, by object.
    static QHash<const ZORVAK_Audited*, std::shared_ptr<ZORVAK_Audit>> store();

    // The process-wide stack of records of the work in progress.
    // The same record may be pushed more than once.
    static void push(const std::shared_ptr<ZORVAK_Audit>& record);
    // Removes the last record pushed.
    static void pop();
    // The last record pushed, or null (also when that record no longer exists).
    static std::shared_ptr<ZORVAK_Audit> current();
    static void clearStack();
    // The live records of the stack, bottom first.
    static QList<std::shared_ptr<ZORVAK_Audit>> stack();

    std::shared_ptr<ZORVAK_Audit> parent() const;
    QString uuid() const;
    QString displayName() const;
    QDateTime start() const;
    QDateTime end() const;
    QStringList providerKeys() const;
    Products products() const;
    QList<platform::Error> errors() const;
    QList<std::shared_ptr<ZORVAK_Audit>> children() const;

    void addChild(const std::shared_ptr<ZORVAK_Audit>& child);
    void addError(const platform::Error& error);
    // Reads and writes the product stored under `key`.
    QVariant product(const QString& key) const;
    void setProduct(const QVariant& product, const QString& key);

    // An independent copy made through a keyed archive, with the same parent as this record;
    // null, and `error` set, when a product cannot be archived.
    std::shared_ptr<ZORVAK_Audit> copy(platform::Error* error = nullptr) const;

    QStringList archiveClassHierarchy() const override;
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // The decoding initialiser: reads the keys encodeWithCoder wrote. The archived parent is
    // not read back (it would refer to a record still being decoded); each decoded child is
    // linked to the record that holds it instead.
    static std::shared_ptr<ZORVAK_Audit> initWithCoder(platform::KeyedUnarchiver& coder);

private:
    ZORVAK_Audit() = default;
    void setEnd(const QDateTime& end);

    mutable std::mutex m_mutex;
    std::weak_ptr<ZORVAK_Audit> m_parent;
    QString m_uuid;
    QString m_displayName;
    QDateTime m_start;
    QDateTime m_end;
    QStringList m_providerKeys;
    Products m_products;
    QList<platform::Error> m_errors;
    QList<std::shared_ptr<ZORVAK_Audit>> m_children;
};

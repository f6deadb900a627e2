#pragma once

#include "platform/observation/CallbackGate.h"
#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/ObservationOwner.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

// What an observer asks to be told (bits, combined with |).
enum KeyValueObservingOption : quint64 {
    KeyValueObservingOptionNew = 0x01, // the change carries the new value
    KeyValueObservingOptionOld = 0x02, // the change carries the old value
    KeyValueObservingOptionInitial = 0x04, // one notice with the present value when registering
    KeyValueObservingOptionPrior = 0x08, // an extra notice before each change
};

// The kind of a change, as stored under KeyValueChangeKindKey.
enum class KeyValueChange : quint64 {
    Setting = 1, // the value was replaced as a whole
    Insertion = 2, // elements were inserted into a list at the indexes
    Removal = 3, // elements were removed from a list at the indexes
    Replacement = 4, // elements of a list at the indexes were replaced
};

// The entries of a change dictionary. The values of "new" and "old" are the key's
// values for a setting, and the lists of the affected elements for the list kinds;
// "indexes" (QList<qsizetype>, ascending) is present for the list kinds only;
// "notificationIsPrior" (true) marks the notice sent before a change.
inline const QString KeyValueChangeKindKey = QStringLiteral("kind");
inline const QString KeyValueChangeNewKey = QStringLiteral("new");
inline const QString KeyValueChangeOldKey = QStringLiteral("old");
inline const QString KeyValueChangeIndexesKey = QStringLiteral("indexes");
inline const QString KeyValueChangeNotificationIsPriorKey = QStringLiteral("notificationIsPrior");

// Base of every object whose values others observe. A subclass answers valueForKey()
// and brackets each change of a key with willChange.../didChange... on the thread that
// makes the change; observers are told on that thread. A key path is a single key
// compared as text: a dot in it has no special meaning.
//
// Observers are held weakly: one that is gone is never called again, and a call
// holds it alive until it returns. Registering, removing and announcing are
// thread-safe; no lock is held while an observer or valueForKey() runs.
//
// Pairs of announcements of the same key nested on one thread count as one change:
// the prior notice and the old value come from the outermost will, the notice and
// the new value from the outermost did.
class Observable : public ObservationOwner {
public:
    Observable() = default;
    // Ends every observation in which the object takes part and removes every observer.
    ~Observable() override;

    // The present value of `key`; an invalid QVariant for keys the object does not know.
    virtual QVariant valueForKey(const QString& key) const;

    // Registers `observer` for `keyPath` with `options` (KeyValueObservingOption bits)
    // and `context`. With the initial option the observer is told at once, before
    // this returns. Registering twice makes two registrations.
    void addObserver(const std::shared_ptr<KeyValueObserver>& observer, const QString& keyPath, quint64 options,
                     const void* context);
    // Removes the most recent registration of `observer` for `keyPath` with `context`.
    // When this returns, that registration runs on no other thread (see CallbackGate).
    void removeObserver(const KeyValueObserver* observer, const QString& keyPath, const void* context);

    void willChangeValueForKey(const QString& key);
    void didChangeValueForKey(const QString& key);
    // Ends a change announced with willChangeValueForKey() that did not happen
    // (a write that failed): no notice of it follows.
    void abandonChangeValueForKey(const QString& key);
    // The list forms: `change` happens at `valuesAtIndexes` of the list under `forKey`.
    void willChange(KeyValueChange change, const QList<qsizetype>& valuesAtIndexes, const QString& forKey);
    void didChange(KeyValueChange change, const QList<qsizetype>& valuesAtIndexes, const QString& forKey);

private:
    struct Registration {
        std::weak_ptr<KeyValueObserver> observer;
        const KeyValueObserver* identity = nullptr;
        QString keyPath;
        quint64 options = 0;
        const void* context = nullptr;
        CallbackGate gate;
    };
    using Registrations = std::vector<std::shared_ptr<Registration>>;

    // One change of a key under way, or announced, on one thread.
    struct Change {
        KeyValueChange kind = KeyValueChange::Setting;
        QList<qsizetype> indexes;
        std::optional<QVariant> oldValue;
        std::optional<QVariant> newValue;
        bool isPrior = false;
        int depth = 0; // open will announcements, for nesting
    };

    Registrations registrationsFor(const QString& keyPath) const;
    QVariant affectedValues(const Change& change, const QString& key) const;
    void notify(const Registrations& registrations, const QString& keyPath, const Change& change,
                quint64 requiredOptions = 0);
    void dropRegistration(const std::shared_ptr<Registration>& registration);

    static bool anyWants(const Registrations& registrations, quint64 option);
    static QVariantMap changeDictionary(const Change& change, quint64 options);

    mutable std::mutex m_mutex;
    Registrations m_registrations;
    std::map<std::pair<std::thread::id, QString>, Change> m_changes;
};

} // namespace platform

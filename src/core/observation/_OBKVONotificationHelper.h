#pragma once

#include "core/observation/OBKVONotification.h"
#include "core/observation/OBKVOObservation.h"
#include "core/observation/OBKVOSelector.h"
#include "core/observation/OBKVOTarget.h"

#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/Observable.h"
#include "platform/observation/OwnedObservation.h"

#include <QSet>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <vector>

// One registration of the observation centre. The objects taking part (the observer
// and every observed object) keep it alive in their registration sets; it holds them
// weakly. It ends by remove(), by a matching removal, or when its observer or observed
// object is destroyed, unless its options carry the manual-removal bit. A list target
// stands for the objects it held at registration: one of them that is destroyed is
// dropped, and the registration ends with the last.
class _OBKVONotificationHelper final : public OBKVOObservation,
                                       public platform::KeyValueObserver,
                                       public platform::OwnedObservation,
                                       public std::enable_shared_from_this<_OBKVONotificationHelper> {
public:
    // A selector observation when `block` is empty, else a block observation.
    _OBKVONotificationHelper(const std::shared_ptr<platform::ObservationOwner>& observer, OBKVOSelector selector,
                             OBKVONotificationBlock block, const QVariant& userInfo, const OBKVOTarget& target,
                             const QSet<QString>& keyPaths, quint64 options);

    // Enters the registration into the sets of the objects taking part and starts
    // observing every key path on every observed object. Called once, after construction.
    void begin();

    bool isValid() const override;
    void remove() override;
    // Stops observing, leaves the registration sets, forgets observer and targets.
    // Once it returns no handler of this registration runs on another thread (except
    // where waiting could never end, see platform::CallbackGate).
    void deregister();

    // Whether a removal with these arguments ends this registration; null pointers,
    // an empty key-path set and an empty selector name match anything.
    bool matches(const platform::ObservationOwner* observer, const platform::Observable* target,
                 const QSet<QString>& keyPaths, const QString& selector) const;

    void observeValueForKeyPath(const QString& keyPath, platform::Observable& object, const QVariantMap& change,
                                const void* context) override;
    void ownerDestroyed(const platform::ObservationOwner& owner) override;

private:
    struct ObservedObject {
        std::weak_ptr<platform::Observable> object;
        const platform::ObservationOwner* identity; // taken while alive, compared after death too
    };

    // Stops observing `objects` and leaves the registration sets of all taking part.
    void withdraw(const std::shared_ptr<platform::ObservationOwner>& observer,
                  const std::vector<std::shared_ptr<platform::Observable>>& objects);

    // Fixed at construction.
    const OBKVOSelector m_selector;
    const OBKVONotificationBlock m_block;
    const QVariant m_userInfo;
    const QSet<QString> m_keyPaths;
    const quint64 m_options;
    const bool m_isArray;
    const bool m_needsObserver; // selector observations and block observations made with an observer

    mutable std::mutex m_mutex;
    std::weak_ptr<platform::ObservationOwner> m_observer;
    const platform::ObservationOwner* m_observerIdentity;
    std::vector<ObservedObject> m_targets;
    bool m_ended = false;
};

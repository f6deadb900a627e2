#pragma once

#include "core/observation/OBKVOKeyPathSet.h"
#include "core/observation/OBKVONotification.h"
#include "core/observation/OBKVOObservation.h"
#include "core/observation/OBKVOSelector.h"
#include "core/observation/OBKVOTarget.h"

#include "platform/observation/Observable.h"
#include "platform/observation/ObservationOwner.h"

#include <QString>
#include <QVariant>

#include <memory>

// Option bit of this centre: the registration is not ended when its observer or an
// observed object is destroyed, only by an explicit removal. The observed objects are
// given the options with this bit and all higher ones cleared.
inline constexpr quint64 OBKVOManualRemovalOption = 0x80000000;

// Key-value observation with registrations as objects of their own. A handler is a
// block (OBKVONotificationBlock) or a selector (OBKVOSelector); an observation is removed
// by its registration or by any pattern of observer, target, key paths and selector,
// and ends by itself when the observer or the observed object is destroyed.
//
// Observed objects are Observable and owned by shared_ptr; an observer is any
// ObservationOwner owned by shared_ptr (every Observable is one). Both are held weakly.
// Handlers run on the thread that made the change; a handler never runs once its
// observer is gone, nor after the registration has ended (see
// _OBKVONotificationHelper::deregister for the one exception).
//
// The static members are the operations offered on every object (observe it, observe
// something else, stop either), taking that object, the receiver, as first argument.
class OBKVONotificationCenter {
public:
    static OBKVONotificationCenter& defaultCenter();

    // Registers `observer` (may be null) for `keyPath` on `object` with `options`
    // (platform::KeyValueObservingOption bits, OBKVOManualRemovalOption). A selector
    // observation without an observer never calls its handler.
    std::shared_ptr<OBKVOObservation> addObserver(const std::shared_ptr<platform::ObservationOwner>& observer,
                                                  const OBKVOTarget& object, const OBKVOKeyPathSet& keyPath,
                                                  const OBKVOSelector& selector, const QVariant& userInfo,
                                                  quint64 options);
    std::shared_ptr<OBKVOObservation> addObserver(const std::shared_ptr<platform::ObservationOwner>& observer,
                                                  const OBKVOTarget& object, const OBKVOKeyPathSet& keyPath,
                                                  quint64 options, OBKVONotificationBlock block);
    // Ends every registration of `observer` or on `object` that matches: a null
    // observer or object, an empty key-path set and an empty selector match any; a
    // given key-path set must equal the registration's; a given object matches only
    // registrations made on that one object (not on a list holding it).
    void removeObserver(platform::ObservationOwner* observer, platform::Observable* object,
                        const OBKVOKeyPathSet& keyPath, const QString& selector);
    void removeObservation(const std::shared_ptr<OBKVOObservation>& observation);

    // The receiver observed by `observer`.
    static std::shared_ptr<OBKVOObservation> addObserverKeyPath(const OBKVOTarget& receiver,
                                                                const std::shared_ptr<platform::ObservationOwner>& observer,
                                                                const OBKVOKeyPathSet& keyPath,
                                                                const OBKVOSelector& selector, const QVariant& userInfo,
                                                                quint64 options);
    static std::shared_ptr<OBKVOObservation> addObserverKeyPath(const OBKVOTarget& receiver,
                                                                const std::shared_ptr<platform::ObservationOwner>& observer,
                                                                const OBKVOKeyPathSet& keyPath, quint64 options,
                                                                OBKVONotificationBlock block);
    // The receiver observed with no observer: the block runs until the receiver is
    // destroyed or the registration removed.
    static std::shared_ptr<OBKVOObservation> addObservationKeyPath(const OBKVOTarget& receiver,
                                                                   const OBKVOKeyPathSet& keyPath, quint64 options,
                                                                   OBKVONotificationBlock block);
    // The receiver observing `target`.
    static std::shared_ptr<OBKVOObservation> observeTarget(const std::shared_ptr<platform::ObservationOwner>& receiver,
                                                           const OBKVOTarget& target, const OBKVOKeyPathSet& keyPath,
                                                           const OBKVOSelector& selector, const QVariant& userInfo,
                                                           quint64 options);
    static std::shared_ptr<OBKVOObservation> observeTarget(const std::shared_ptr<platform::ObservationOwner>& receiver,
                                                           const OBKVOTarget& target, const OBKVOKeyPathSet& keyPath,
                                                           quint64 options, OBKVONotificationBlock block);

    // Every observation of the receiver, by anyone.
    static void removeAllObservers(platform::Observable& receiver);
    // Every observation the receiver makes.
    static void stopObservingAllTargets(platform::ObservationOwner& receiver);
    // `observer`'s observations of the receiver for `keyPath` (and `selector`, when given).
    static void removeObserverKeyPath(platform::Observable& receiver, platform::ObservationOwner* observer,
                                      const OBKVOKeyPathSet& keyPath, const QString& selector = {});
    // The receiver's observations of `target` for `keyPath` (and `selector`, when given).
    static void stopObserving(platform::ObservationOwner& receiver, platform::Observable* target,
                              const OBKVOKeyPathSet& keyPath, const QString& selector = {});

private:
    OBKVONotificationCenter() = default;
};

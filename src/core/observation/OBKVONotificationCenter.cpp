#include "core/observation/OBKVONotificationCenter.h"

#include "core/observation/_OBKVONotificationHelper.h"

#include <utility>
#include <vector>

namespace {

std::shared_ptr<OBKVOObservation> beginObservation(std::shared_ptr<_OBKVONotificationHelper> helper)
{
    helper->begin();
    return helper;
}

} // namespace

OBKVONotificationCenter& OBKVONotificationCenter::defaultCenter()
{
    static OBKVONotificationCenter center;
    return center;
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::addObserver(
    const std::shared_ptr<platform::ObservationOwner>& observer, const OBKVOTarget& object,
    const OBKVOKeyPathSet& keyPath, const OBKVOSelector& selector, const QVariant& userInfo, quint64 options)
{
    return beginObservation(std::make_shared<_OBKVONotificationHelper>(
        observer, selector, OBKVONotificationBlock(), userInfo, object, keyPath.ob_keyPathsAsSetOfStrings(), options));
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::addObserver(
    const std::shared_ptr<platform::ObservationOwner>& observer, const OBKVOTarget& object,
    const OBKVOKeyPathSet& keyPath, quint64 options, OBKVONotificationBlock block)
{
    return beginObservation(std::make_shared<_OBKVONotificationHelper>(
        observer, OBKVOSelector(), std::move(block), QVariant(), object, keyPath.ob_keyPathsAsSetOfStrings(), options));
}

void OBKVONotificationCenter::removeObserver(platform::ObservationOwner* observer, platform::Observable* object,
                                             const OBKVOKeyPathSet& keyPath, const QString& selector)
{
    std::vector<std::shared_ptr<platform::OwnedObservation>> candidates;
    if (observer)
        candidates = observer->ownedObservations();
    if (object) {
        const auto targetSet = object->ownedObservations();
        candidates.insert(candidates.end(), targetSet.begin(), targetSet.end());
    }
    const QSet<QString> keyPaths = keyPath.ob_keyPathsAsSetOfStrings();
    for (const auto& candidate : candidates) {
        const auto helper = std::dynamic_pointer_cast<_OBKVONotificationHelper>(candidate);
        if (helper && helper->matches(observer, object, keyPaths, selector))
            helper->deregister();
    }
}

void OBKVONotificationCenter::removeObservation(const std::shared_ptr<OBKVOObservation>& observation)
{
    if (observation)
        observation->remove();
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::addObserverKeyPath(
    const OBKVOTarget& receiver, const std::shared_ptr<platform::ObservationOwner>& observer,
    const OBKVOKeyPathSet& keyPath, const OBKVOSelector& selector, const QVariant& userInfo, quint64 options)
{
    return defaultCenter().addObserver(observer, receiver, keyPath, selector, userInfo, options);
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::addObserverKeyPath(
    const OBKVOTarget& receiver, const std::shared_ptr<platform::ObservationOwner>& observer,
    const OBKVOKeyPathSet& keyPath, quint64 options, OBKVONotificationBlock block)
{
    return defaultCenter().addObserver(observer, receiver, keyPath, options, std::move(block));
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::addObservationKeyPath(const OBKVOTarget& receiver,
                                                                                 const OBKVOKeyPathSet& keyPath,
                                                                                 quint64 options,
                                                                                 OBKVONotificationBlock block)
{
    return defaultCenter().addObserver(nullptr, receiver, keyPath, options, std::move(block));
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::observeTarget(
    const std::shared_ptr<platform::ObservationOwner>& receiver, const OBKVOTarget& target,
    const OBKVOKeyPathSet& keyPath, const OBKVOSelector& selector, const QVariant& userInfo, quint64 options)
{
    return defaultCenter().addObserver(receiver, target, keyPath, selector, userInfo, options);
}

std::shared_ptr<OBKVOObservation> OBKVONotificationCenter::observeTarget(
    const std::shared_ptr<platform::ObservationOwner>& receiver, const OBKVOTarget& target,
    const OBKVOKeyPathSet& keyPath, quint64 options, OBKVONotificationBlock block)
{
    return defaultCenter().addObserver(receiver, target, keyPath, options, std::move(block));
}

void OBKVONotificationCenter::removeAllObservers(platform::Observable& receiver)
{
    defaultCenter().removeObserver(nullptr, &receiver, {}, {});
}

void OBKVONotificationCenter::stopObservingAllTargets(platform::ObservationOwner& receiver)
{
    defaultCenter().removeObserver(&receiver, nullptr, {}, {});
}

void OBKVONotificationCenter::removeObserverKeyPath(platform::Observable& receiver,
                                                    platform::ObservationOwner* observer,
                                                    const OBKVOKeyPathSet& keyPath, const QString& selector)
{
    defaultCenter().removeObserver(observer, &receiver, keyPath, selector);
}

void OBKVONotificationCenter::stopObserving(platform::ObservationOwner& receiver, platform::Observable* target,
                                            const OBKVOKeyPathSet& keyPath, const QString& selector)
{
    defaultCenter().removeObserver(&receiver, target, keyPath, selector);
}

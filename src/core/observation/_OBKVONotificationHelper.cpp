#include "core/observation/_OBKVONotificationHelper.h"

#include "core/observation/OBKVONotificationCenter.h"

#include <algorithm>
#include <utility>

namespace {

// The context of every registration this centre makes with the observed objects;
// a callback with any other context is not one of ours.
const char observationContext = 0;

// The options the observed objects are given: the manual-removal bit and above cleared.
constexpr quint64 platformOptionsMask = 0x7FFFFFFF;

} // namespace

_OBKVONotificationHelper::_OBKVONotificationHelper(const std::shared_ptr<platform::ObservationOwner>& observer,
                                                   OBKVOSelector selector, OBKVONotificationBlock block,
                                                   const QVariant& userInfo, const OBKVOTarget& target,
                                                   const QSet<QString>& keyPaths, quint64 options)
    : m_selector(std::move(selector)),
      m_block(std::move(block)),
      m_userInfo(userInfo),
      m_keyPaths(keyPaths),
      m_options(options),
      m_isArray(target.isArray()),
      m_needsObserver(observer || !m_block),
      m_observer(observer),
      m_observerIdentity(observer.get())
{
    for (const auto& object : target.objects())
        m_targets.push_back({object, object.get()});
    // A lone absent target: there is nothing to observe, so the registration never begins.
    m_ended = !m_isArray && m_targets.empty();
}

void _OBKVONotificationHelper::begin()
{
    std::shared_ptr<platform::ObservationOwner> observer;
    std::vector<std::shared_ptr<platform::Observable>> objects;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        observer = m_observer.lock();
        for (const auto& target : m_targets)
            objects.push_back(target.object.lock());
    }
    const auto self = shared_from_this();
    if (observer)
        observer->attachObservation(self);
    for (const auto& object : objects)
        object->attachObservation(self);
    for (const QString& keyPath : m_keyPaths) {
        for (const auto& object : objects)
            object->addObserver(self, keyPath, m_options & platformOptionsMask, &observationContext);
    }
    // Ended meanwhile (by an initial notice's handler, or by another thread): take back
    // whatever was entered after the ending had swept.
    if (!isValid())
        withdraw(observer, objects);
}

bool _OBKVONotificationHelper::isValid() const
{
    std::lock_guard lock(m_mutex);
    return !m_ended;
}

void _OBKVONotificationHelper::remove()
{
    deregister();
}

void _OBKVONotificationHelper::deregister()
{
    std::vector<ObservedObject> targets;
    std::weak_ptr<platform::ObservationOwner> observer;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        m_ended = true;
        targets.swap(m_targets);
        observer.swap(m_observer);
        m_observerIdentity = nullptr;
    }
    std::vector<std::shared_ptr<platform::Observable>> objects;
    for (const auto& target : targets) {
        if (auto object = target.object.lock())
            objects.push_back(std::move(object));
    }
    withdraw(observer.lock(), objects);
}

void _OBKVONotificationHelper::withdraw(const std::shared_ptr<platform::ObservationOwner>& observer,
                                        const std::vector<std::shared_ptr<platform::Observable>>& objects)
{
    for (const auto& object : objects) {
        for (const QString& keyPath : m_keyPaths)
            object->removeObserver(this, keyPath, &observationContext);
    }
    if (observer)
        observer->detachObservation(this);
    for (const auto& object : objects)
        object->detachObservation(this);
}

bool _OBKVONotificationHelper::matches(const platform::ObservationOwner* observer, const platform::Observable* target,
                                       const QSet<QString>& keyPaths, const QString& selector) const
{
    if (!keyPaths.isEmpty() && keyPaths != m_keyPaths)
        return false;
    if (!selector.isEmpty() && selector != m_selector.name)
        return false;
    std::lock_guard lock(m_mutex);
    if (observer && observer != m_observerIdentity)
        return false;
    const platform::ObservationOwner* targetIdentity = target;
    return !targetIdentity || (!m_isArray && m_targets.size() == 1 && m_targets.front().identity == targetIdentity);
}

void _OBKVONotificationHelper::observeValueForKeyPath(const QString& keyPath, platform::Observable& object,
                                                      const QVariantMap& change, const void* context)
{
    if (context != &observationContext)
        return;
    std::shared_ptr<platform::ObservationOwner> observer;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        observer = m_observer.lock();
    }
    if (m_needsObserver && !observer)
        return;
    if (m_block)
        m_block(OBKVONotification(change, keyPath, observer.get(), &object));
    else if (m_selector.method)
        m_selector.method(keyPath, object, change, m_userInfo);
}

void _OBKVONotificationHelper::ownerDestroyed(const platform::ObservationOwner& owner)
{
    bool ends = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended)
            return;
        const bool automatic = !(m_options & OBKVOManualRemovalOption);
        if (m_observerIdentity == &owner) {
            m_observerIdentity = nullptr;
            ends = automatic;
        }
        const auto erased = std::erase_if(m_targets, [&owner](const ObservedObject& target) {
            return target.identity == &owner;
        });
        // A list target ends when the last of its objects is gone; a lone target at once.
        if (erased > 0 && m_targets.empty())
            ends = ends || automatic;
    }
    if (ends)
        deregister();
}

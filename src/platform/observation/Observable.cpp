#include "platform/observation/Observable.h"

#include <algorithm>

namespace platform {

Observable::~Observable()
{
    endOwnedObservations();
    Registrations remaining;
    {
        std::lock_guard lock(m_mutex);
        remaining.swap(m_registrations);
    }
    for (const auto& registration : remaining)
        registration->gate.close();
}

QVariant Observable::valueForKey(const QString&) const
{
    return {};
}

void Observable::addObserver(const std::shared_ptr<KeyValueObserver>& observer, const QString& keyPath,
                             quint64 options, const void* context)
{
    auto registration = std::make_shared<Registration>();
    registration->observer = observer;
    registration->identity = observer.get();
    registration->keyPath = keyPath;
    registration->options = options;
    registration->context = context;
    {
        std::lock_guard lock(m_mutex);
        m_registrations.push_back(registration);
    }
    if (options & KeyValueObservingOptionInitial) {
        Change initial;
        if (options & KeyValueObservingOptionNew)
            initial.newValue = valueForKey(keyPath);
        notify({registration}, keyPath, initial);
    }
}

void Observable::removeObserver(const KeyValueObserver* observer, const QString& keyPath, const void* context)
{
    std::shared_ptr<Registration> removed;
    {
        std::lock_guard lock(m_mutex);
        const auto found = std::find_if(m_registrations.rbegin(), m_registrations.rend(), [&](const auto& held) {
            return held->identity == observer && held->keyPath == keyPath && held->context == context;
        });
        if (found == m_registrations.rend())
            return;
        removed = *found;
        m_registrations.erase(std::next(found).base());
    }
    removed->gate.close();
}

void Observable::willChangeValueForKey(const QString& key)
{
    willChange(KeyValueChange::Setting, {}, key);
}

void Observable::didChangeValueForKey(const QString& key)
{
    didChange(KeyValueChange::Setting, {}, key);
}

void Observable::abandonChangeValueForKey(const QString& key)
{
    std::lock_guard lock(m_mutex);
    const auto pending = m_changes.find(std::make_pair(std::this_thread::get_id(), key));
    if (pending != m_changes.end() && --pending->second.depth == 0)
        m_changes.erase(pending);
}

void Observable::willChange(KeyValueChange change, const QList<qsizetype>& valuesAtIndexes, const QString& forKey)
{
    const auto changeKey = std::make_pair(std::this_thread::get_id(), forKey);
    Registrations registrations;
    {
        std::lock_guard lock(m_mutex);
        Change& pending = m_changes[changeKey];
        if (pending.depth++ > 0)
            return;
        pending.kind = change;
        pending.indexes = valuesAtIndexes;
        registrations = registrationsFor(forKey);
    }
    Change prior;
    prior.kind = change;
    prior.indexes = valuesAtIndexes;
    prior.isPrior = true;
    if (change != KeyValueChange::Insertion && anyWants(registrations, KeyValueObservingOptionOld)) {
        prior.oldValue = affectedValues(prior, forKey);
        std::lock_guard lock(m_mutex);
        m_changes[changeKey].oldValue = prior.oldValue;
    }
    notify(registrations, forKey, prior, KeyValueObservingOptionPrior);
}

void Observable::didChange(KeyValueChange change, const QList<qsizetype>& valuesAtIndexes, const QString& forKey)
{
    const auto changeKey = std::make_pair(std::this_thread::get_id(), forKey);
    Change announced;
    announced.kind = change;
    announced.indexes = valuesAtIndexes;
    Registrations registrations;
    {
        std::lock_guard lock(m_mutex);
        const auto pending = m_changes.find(changeKey);
        if (pending != m_changes.end()) {
            if (--pending->second.depth > 0)
                return;
            announced = std::move(pending->second);
            m_changes.erase(pending);
        }
        registrations = registrationsFor(forKey);
    }
    if (announced.kind != KeyValueChange::Removal && anyWants(registrations, KeyValueObservingOptionNew))
        announced.newValue = affectedValues(announced, forKey);
    notify(registrations, forKey, announced);
}

Observable::Registrations Observable::registrationsFor(const QString& keyPath) const
{
    Registrations matching;
    std::copy_if(m_registrations.begin(), m_registrations.end(), std::back_inserter(matching),
                 [&](const auto& registration) { return registration->keyPath == keyPath; });
    return matching;
}

QVariant Observable::affectedValues(const Change& change, const QString& key) const
{
    const QVariant value = valueForKey(key);
    if (change.kind == KeyValueChange::Setting)
        return value;
    const QVariantList elements = value.toList();
    QVariantList affected;
    for (const qsizetype index : change.indexes) {
        if (index >= 0 && index < elements.size())
            affected.append(elements.at(index));
    }
    return affected;
}

void Observable::notify(const Registrations& registrations, const QString& keyPath, const Change& change,
                        quint64 requiredOptions)
{
    for (const auto& registration : registrations) {
        if ((registration->options & requiredOptions) != requiredOptions || !registration->gate.tryEnter())
            continue;
        bool observerGone = false;
        if (const auto observer = registration->observer.lock())
            observer->observeValueForKeyPath(keyPath, *this, changeDictionary(change, registration->options),
                                             registration->context);
        else
            observerGone = true;
        registration->gate.leave();
        if (observerGone)
            dropRegistration(registration);
    }
}

void Observable::dropRegistration(const std::shared_ptr<Registration>& registration)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_registrations, registration);
}

bool Observable::anyWants(const Registrations& registrations, quint64 option)
{
    return std::any_of(registrations.begin(), registrations.end(),
                       [option](const auto& registration) { return registration->options & option; });
}

QVariantMap Observable::changeDictionary(const Change& change, quint64 options)
{
    QVariantMap dictionary{{KeyValueChangeKindKey, static_cast<quint64>(change.kind)}};
    if (change.kind != KeyValueChange::Setting)
        dictionary.insert(KeyValueChangeIndexesKey, QVariant::fromValue(change.indexes));
    if (change.isPrior)
        dictionary.insert(KeyValueChangeNotificationIsPriorKey, true);
    if ((options & KeyValueObservingOptionOld) && change.oldValue)
        dictionary.insert(KeyValueChangeOldKey, *change.oldValue);
    if ((options & KeyValueObservingOptionNew) && change.newValue)
        dictionary.insert(KeyValueChangeNewKey, *change.newValue);
    return dictionary;
}

} // namespace platform

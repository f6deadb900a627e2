#include "printing/ui/ZORVAK_PrintSettings.h"

#include <vector>

std::shared_ptr<ZORVAK_PrintSettings> ZORVAK_PrintSettings::shared()
{
    static const auto settings = std::make_shared<ZORVAK_PrintSettings>();
    return settings;
}

QVariant ZORVAK_PrintSettings::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.value(key);
}

void ZORVAK_PrintSettings::setValue(const QString& key, const QVariant& value)
{
    std::vector<Observer> observers;
    {
        std::lock_guard lock(m_mutex);
        m_values.insert(key, value);
        for (const auto& [token, observer] : m_observers)
            observers.push_back(observer);
    }
    // Told outside the lock: an observer may read the settings again.
    for (const Observer& observer : observers)
        observer(key);
}

QVariantMap ZORVAK_PrintSettings::dictionary() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

int ZORVAK_PrintSettings::addObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    const int token = m_nextToken++;
    m_observers.emplace(token, std::move(observer));
    return token;
}

void ZORVAK_PrintSettings::removeObserver(int token)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(token);
}

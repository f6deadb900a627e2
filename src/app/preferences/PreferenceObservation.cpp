#include "app/preferences/PreferenceObservation.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "core/queues/ZORVAK_Dispatch.h"
#include "platform/defaults/UserDefaults.h"


PreferenceObservation::PreferenceObservation(const QString& key, std::function<void()> changed)
{
    const std::weak_ptr<int> alive = m_alive;
    m_observation = OBKVONotificationCenter::addObservationKeyPath(
        platform::UserDefaults::standardUserDefaults(), key, 0,
        [alive, changed = std::move(changed)](const OBKVONotification&) {
            ZORVAK_Dispatch::performAsyncOnMainQueue([alive, changed] {
                if (alive.lock())
                    changed();
            });
        });
}

PreferenceObservation::~PreferenceObservation()
{
    OBKVONotificationCenter::defaultCenter().removeObservation(m_observation);
    m_alive.reset();
}

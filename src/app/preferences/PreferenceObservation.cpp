#include "app/preferences/PreferenceObservation.h"

#include "core/observation/OBKVONotificationCenter.h"
#include "platform/defaults/UserDefaults.h"

#include <QObject>

PreferenceObservation::PreferenceObservation(QObject* context, const QString& key, std::function<void()> changed)
{
    m_observation = OBKVONotificationCenter::addObservationKeyPath(
        platform::UserDefaults::standardUserDefaults(), key, 0,
        [context, changed = std::move(changed)](const OBKVONotification&) {
            QMetaObject::invokeMethod(context, changed, Qt::QueuedConnection);
        });
}

PreferenceObservation::~PreferenceObservation()
{
    OBKVONotificationCenter::defaultCenter().removeObservation(m_observation);
}

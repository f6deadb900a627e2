#include "core/observation/OBKVONotification.h"

OBKVONotification::OBKVONotification(const QVariantMap& change, const QString& keyPath,
                                     platform::ObservationOwner* observer, platform::Observable* target)
    : m_change(change), m_keyPath(keyPath), m_observer(observer), m_target(target)
{
}

quint64 OBKVONotification::kind() const
{
    return m_change.value(platform::KeyValueChangeKindKey).toULongLong();
}

QVariant OBKVONotification::oldValue() const
{
    return m_change.value(platform::KeyValueChangeOldKey);
}

QVariant OBKVONotification::newValue() const
{
    return m_change.value(platform::KeyValueChangeNewKey);
}

QList<qsizetype> OBKVONotification::indexes() const
{
    return m_change.value(platform::KeyValueChangeIndexesKey).value<QList<qsizetype>>();
}

bool OBKVONotification::isPrior() const
{
    return m_change.value(platform::KeyValueChangeNotificationIsPriorKey).toBool();
}

#pragma once

#include "platform/observation/Observable.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

// What a block observation receives for one change.
class OBKVONotification {
public:
    OBKVONotification(const QVariantMap& change, const QString& keyPath, platform::ObservationOwner* observer,
                      platform::Observable* target);

    const QVariantMap& change() const { return m_change; }
    const QString& keyPath() const { return m_keyPath; }
    // The observer, alive for the duration of the call; null for observations without one.
    platform::ObservationOwner* observer() const { return m_observer; }
    // The object whose value changed (for a list target, the element that changed).
    platform::Observable* target() const { return m_target; }

    // The change dictionary's entries; absent ones give 0, an invalid value, an empty list, false.
    quint64 kind() const;
    QVariant oldValue() const;
    QVariant newValue() const;
    QList<qsizetype> indexes() const;
    bool isPrior() const;

private:
    QVariantMap m_change;
    QString m_keyPath;
    platform::ObservationOwner* m_observer;
    platform::Observable* m_target;
};

using OBKVONotificationBlock = std::function<void(const OBKVONotification& notification)>;

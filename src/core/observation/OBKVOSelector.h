#pragma once

#include "platform/observation/Observable.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

// The handler of a selector observation: the observer's method, called with the key
// path, the object whose value changed, the change dictionary and the registration's
// user information, and the name that removals by selector match. The method is
// called only while the observer lives, with the observer held alive for the call,
// so it may capture the observer by plain pointer (a strong capture would keep the
// observer alive through its own registration).
struct OBKVOSelector {
    using Method = std::function<void(const QString& keyPath, platform::Observable& object, const QVariantMap& change,
                                      const QVariant& userInfo)>;

    QString name;
    Method method;
};

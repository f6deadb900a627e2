#pragma once

#include <QString>
#include <QVariantMap>

namespace platform {

class Observable;

// Receives the changes of the keys it observes on Observable objects.
class KeyValueObserver {
public:
    virtual ~KeyValueObserver() = default;

    // `object`'s value for `keyPath` changed (or is about to, for a prior notice).
    // `change` holds the entries under the Observable change keys; `context` is the
    // one given when registering. Runs on the thread that made the change, with no
    // lock of `object` held: registering and removing from here is allowed.
    virtual void observeValueForKeyPath(const QString& keyPath, Observable& object, const QVariantMap& change,
                                        const void* context) = 0;
};

} // namespace platform

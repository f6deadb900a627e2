#pragma once

#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/Observable.h"

#include <QStringList>

#include <memory>

namespace kova::test {

// Records the keys of the change notices it receives, in order.
class KeyRecorder : public platform::KeyValueObserver {
public:
    // A recorder registered (without options) for each of `keys` on `object`.
    static std::shared_ptr<KeyRecorder> observing(platform::Observable& object, const QStringList& keys)
    {
        auto recorder = std::make_shared<KeyRecorder>();
        for (const QString& key : keys)
            object.addObserver(recorder, key, 0, nullptr);
        return recorder;
    }

    void observeValueForKeyPath(const QString& keyPath, platform::Observable&, const QVariantMap&,
                                const void*) override
    {
        keys.append(keyPath);
    }

    QStringList keys;
};

} // namespace kova::test

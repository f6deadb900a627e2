#pragma once

#include "platform/observation/KeyValueObserver.h"
#include "platform/observation/Observable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>

namespace kova::test {

// Keeps every change notice it is told of, from any thread, in the order it hears
// them: the key, the old and new values (when the registration asked for them) and
// the whole change dictionary. It observes directly, or records the notifications of
// block observations through block().
class ChangeRecorder : public platform::KeyValueObserver {
public:
    struct Change {
        QString key;
        // Invalid when the notice carried none.
        QVariant oldValue;
        QVariant newValue;
        // Every entry of the notice: kind, values, indexes, prior flag.
        QVariantMap dictionary;
        const platform::Observable* object = nullptr;
        const void* context = nullptr;
        // Whom the notice was for: the recorder when it observed directly, else the
        // block observation's observer (null without one).
        const void* observer = nullptr;

        quint64 kind() const { return dictionary.value(platform::KeyValueChangeKindKey).toULongLong(); }
        bool isPrior() const { return dictionary.value(platform::KeyValueChangeNotificationIsPriorKey).toBool(); }
        QList<qsizetype> indexes() const
        {
            return dictionary.value(platform::KeyValueChangeIndexesKey).value<QList<qsizetype>>();
        }
    };

    static constexpr quint64 OldAndNew = platform::KeyValueObservingOptionOld | platform::KeyValueObservingOptionNew;

    // A recorder registered (without context) for each of `keys` on `object`.
    static std::shared_ptr<ChangeRecorder> observing(platform::Observable& object, const QStringList& keys,
                                                     quint64 options = OldAndNew)
    {
        auto recorder = std::make_shared<ChangeRecorder>();
        for (const QString& key : keys)
            object.addObserver(recorder, key, options, nullptr);
        return recorder;
    }

    void observeValueForKeyPath(const QString& keyPath, platform::Observable& object, const QVariantMap& change,
                                const void* context) override
    {
        record(keyPath, change, &object, context, this);
    }

    // A block for the observation centre that records each notification it receives;
    // the recorder must outlive the observation.
    auto block()
    {
        return [this](const auto& notification) {
            record(notification.keyPath(), notification.change(), notification.target(), nullptr,
                   notification.observer());
        };
    }

    QList<Change> changes() const
    {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }

    QStringList keys() const
    {
        QStringList keys;
        for (const Change& change : changes())
            keys.append(change.key);
        return keys;
    }

    qsizetype count() const
    {
        std::lock_guard lock(m_mutex);
        return m_changes.size();
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_changes.clear();
    }

    // Runs after each change is recorded, on the notifying thread, outside the lock:
    // a test may act from inside the notice. Set it before registering.
    std::function<void(const Change&)> onChange;

private:
    void record(const QString& key, const QVariantMap& dictionary, const platform::Observable* object,
                const void* context, const void* observer)
    {
        const Change change{key,    dictionary.value(platform::KeyValueChangeOldKey),
                            dictionary.value(platform::KeyValueChangeNewKey),
                            dictionary, object, context, observer};
        {
            std::lock_guard lock(m_mutex);
            m_changes.append(change);
        }
        if (onChange)
            onChange(change);
    }

    mutable std::mutex m_mutex;
    QList<Change> m_changes;
};

} // namespace kova::test

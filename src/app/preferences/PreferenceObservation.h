#pragma once

#include <QString>

#include <functional>
#include <memory>

class OBKVOObservation;
class QObject;

// Runs `changed` on the main thread, in `context`'s event loop, after every change
// of `key` in the standard user defaults, from whichever thread made it. Owned by
// `context` (or one of its members): the observation ends with this object.
class PreferenceObservation {
public:
    PreferenceObservation(QObject* context, const QString& key, std::function<void()> changed);
    ~PreferenceObservation();
    PreferenceObservation(const PreferenceObservation&) = delete;
    PreferenceObservation& operator=(const PreferenceObservation&) = delete;

private:
    std::shared_ptr<OBKVOObservation> m_observation;
};

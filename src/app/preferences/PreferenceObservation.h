#pragma once

#include <QString>

#include <functional>
#include <memory>

class OBKVOObservation;

// Runs `changed` on the main queue after every change of `key` in the standard
// user defaults, from whichever thread made it. Made and destroyed on the main
// thread; the observation ends with this object, and a run already on its way to
// the main queue is dropped.
class PreferenceObservation {
public:
    PreferenceObservation(const QString& key, std::function<void()> changed);
    ~PreferenceObservation();
    PreferenceObservation(const PreferenceObservation&) = delete;
    PreferenceObservation& operator=(const PreferenceObservation&) = delete;

private:
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::shared_ptr<OBKVOObservation> m_observation;
};

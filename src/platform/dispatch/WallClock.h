#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

// The current date and time as texts show it to people (stamps printed on
// products). Tests fix it so that what is printed does not depend on the day.
class WallClock {
public:
    // The system's current local date and time, unless a test set another source.
    static QDateTime now();
    // Replaces the source of now(); null restores the system clock.
    static void setNow(std::function<QDateTime()> now);
};

} // namespace platform

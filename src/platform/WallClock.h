#pragma once

#include <QDateTime>

#include <functional>

namespace platform {

// The current date and time in local time, for names and stamps that show it.
// Tests fix it with setNow(). Thread-safe.
class WallClock {
public:
    static QDateTime now();
    // Replaces the clock; an empty function restores the system's.
    static void setNow(std::function<QDateTime()> now);
};

} // namespace platform

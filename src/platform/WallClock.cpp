#include "platform/WallClock.h"

#include <mutex>

namespace platform {
namespace {

std::mutex clockMutex;
std::function<QDateTime()> replacedNow;

} // namespace

QDateTime WallClock::now()
{
    std::function<QDateTime()> now;
    {
        const std::lock_guard lock(clockMutex);
        now = replacedNow;
    }
    return now ? now() : QDateTime::currentDateTime();
}

void WallClock::setNow(std::function<QDateTime()> now)
{
    const std::lock_guard lock(clockMutex);
    replacedNow = std::move(now);
}

} // namespace platform

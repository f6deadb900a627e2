#include "platform/dispatch/WallClock.h"

#include <mutex>

namespace platform {
namespace {

std::mutex sourceMutex;

std::function<QDateTime()>& installedSource()
{
    static std::function<QDateTime()> source;
    return source;
}

} // namespace

QDateTime WallClock::now()
{
    std::function<QDateTime()> source;
    {
        std::lock_guard lock(sourceMutex);
        source = installedSource();
    }
    return source ? source() : QDateTime::currentDateTime();
}

void WallClock::setNow(std::function<QDateTime()> now)
{
    std::lock_guard lock(sourceMutex);
    installedSource() = std::move(now);
}

} // namespace platform

#include "core/ui/Beeper.h"

#include <QApplication>

#include <mutex>

namespace {

std::mutex& hookMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<void()>& installedHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

void Beeper::beep()
{
    std::function<void()> hook;
    {
        const std::lock_guard lock(hookMutex());
        hook = installedHook();
    }
    if (hook)
        hook();
    else
        QApplication::beep();
}

void Beeper::setHook(std::function<void()> hook)
{
    const std::lock_guard lock(hookMutex());
    installedHook() = std::move(hook);
}

#include "workflow/folders/KOVA_DefaultsDelegate.h"

#include <mutex>

namespace {

std::mutex delegateMutex;
std::weak_ptr<KOVA_DefaultsDelegate> installed; // guarded by delegateMutex

} // namespace

void KOVA_DefaultsDelegate::installDelegate(const std::shared_ptr<KOVA_DefaultsDelegate>& delegate)
{
    const std::lock_guard lock(delegateMutex);
    installed = delegate;
}

std::shared_ptr<KOVA_DefaultsDelegate> KOVA_DefaultsDelegate::installedDelegate()
{
    const std::lock_guard lock(delegateMutex);
    return installed.lock();
}

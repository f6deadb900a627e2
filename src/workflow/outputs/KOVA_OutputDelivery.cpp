#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <map>
#include <mutex>

namespace {

std::mutex& deliveriesMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<KOVA_Destination::Kind, std::shared_ptr<KOVA_OutputDelivery>>& deliveries()
{
    static std::map<KOVA_Destination::Kind, std::shared_ptr<KOVA_OutputDelivery>> installed;
    return installed;
}

} // namespace

std::shared_ptr<KOVA_OutputDelivery> KOVA_OutputDelivery::installed(KOVA_Destination::Kind kind)
{
    std::lock_guard lock(deliveriesMutex());
    const auto found = deliveries().find(kind);
    return found == deliveries().end() ? nullptr : found->second;
}

void KOVA_OutputDelivery::install(KOVA_Destination::Kind kind, std::shared_ptr<KOVA_OutputDelivery> delivery)
{
    std::lock_guard lock(deliveriesMutex());
    if (delivery)
        deliveries()[kind] = std::move(delivery);
    else
        deliveries().erase(kind);
}

#include "workflow/outputs/KOVA_OutputDelivery.h"

#include "workflow/delivery/KOVA_OutputFileDelivery.h"
#include "workflow/delivery/KOVA_OutputPrintCentreDelivery.h"

#include <map>
#include <mutex>

namespace {

std::mutex& deliveriesMutex()
{
    static std::mutex mutex;
    return mutex;
}

using DeliveryMap = std::map<KOVA_Destination::Kind, std::shared_ptr<KOVA_OutputDelivery>>;

// The deliveries the workflow brings: image files and upload folders, the print centre.
DeliveryMap defaultDeliveries()
{
    return {
        {KOVA_Destination::Kind::Filepath, std::make_shared<KOVA_OutputFileDelivery>()},
        {KOVA_Destination::Kind::Printer, std::make_shared<KOVA_OutputPrintCentreDelivery>()},
    };
}

DeliveryMap& deliveries()
{
    static DeliveryMap installed = defaultDeliveries();
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

void KOVA_OutputDelivery::installDefaults()
{
    std::lock_guard lock(deliveriesMutex());
    deliveries() = defaultDeliveries();
}

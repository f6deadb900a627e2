#include "workflow/outputs/KOVA_OutputDelivery.h"

#include <mutex>

namespace {

struct Deliveries {
    std::mutex mutex; // guards the tables
    KOVA_OutputDelivery::Table defaults;
    KOVA_OutputDelivery::Table installed;
};

Deliveries& deliveries()
{
    static Deliveries tables;
    return tables;
}

} // namespace

std::shared_ptr<KOVA_OutputDelivery> KOVA_OutputDelivery::installed(KOVA_Destination::Kind kind)
{
    Deliveries& tables = deliveries();
    const std::lock_guard lock(tables.mutex);
    const auto found = tables.installed.find(kind);
    return found == tables.installed.end() ? nullptr : found->second;
}

void KOVA_OutputDelivery::install(KOVA_Destination::Kind kind, std::shared_ptr<KOVA_OutputDelivery> delivery)
{
    Deliveries& tables = deliveries();
    const std::lock_guard lock(tables.mutex);
    if (delivery)
        tables.installed[kind] = std::move(delivery);
    else
        tables.installed.erase(kind);
}

void KOVA_OutputDelivery::setDefaults(const Table& defaults)
{
    Deliveries& tables = deliveries();
    const std::lock_guard lock(tables.mutex);
    tables.defaults = defaults;
    tables.installed = defaults;
}

void KOVA_OutputDelivery::installDefaults()
{
    Deliveries& tables = deliveries();
    const std::lock_guard lock(tables.mutex);
    tables.installed = tables.defaults;
}

#include "workflow/jobs/KOVA_JobProcessing.h"

#include "workflow/KOVA_RoadHook.h"

namespace {

constinit KOVA_RoadHook<KOVA_JobProcessing::Maker> processorMaker("job processor");

} // namespace

void KOVA_JobProcessing::install(Maker maker)
{
    processorMaker.install(maker);
}

std::shared_ptr<KOVA_JobProcessing> KOVA_JobProcessing::shared()
{
    return processorMaker.installed()();
}

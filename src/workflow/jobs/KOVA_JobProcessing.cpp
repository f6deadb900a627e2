#include "workflow/jobs/KOVA_JobProcessing.h"

#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<KOVA_JobProcessing::Maker> installedMaker{nullptr};

} // namespace

void KOVA_JobProcessing::install(Maker maker)
{
    installedMaker.store(maker);
}

std::shared_ptr<KOVA_JobProcessing> KOVA_JobProcessing::shared()
{
    const Maker maker = installedMaker.load();
    if (!maker)
        qFatal("no job processor is installed: the program must set the road up (KOVA_Road::install) first");
    return maker();
}

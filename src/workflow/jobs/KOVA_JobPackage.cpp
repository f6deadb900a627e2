#include "workflow/jobs/KOVA_JobPackage.h"

#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<KOVA_JobPackage::NodeReader> installedReader{nullptr};
std::atomic<KOVA_JobPackage::Finder> installedFinder{nullptr};

template <class Hook>
Hook installed(const std::atomic<Hook>& hook)
{
    const Hook function = hook.load();
    if (!function)
        qFatal("no product packages are installed: the program must set the road up (KOVA_Road::install) first");
    return function;
}

} // namespace

void KOVA_JobPackage::install(NodeReader reader, Finder finder)
{
    installedReader.store(reader);
    installedFinder.store(finder);
}

KOVA_JobPackage::Pointer KOVA_JobPackage::initWithNode(const platform::XmlNode& node, const std::shared_ptr<KOVA_Job>& job)
{
    return installed(installedReader)(node, job);
}

KOVA_JobPackage::Pointer KOVA_JobPackage::packageWithDictionary(const QVariantMap& description)
{
    return installed(installedFinder)(description);
}

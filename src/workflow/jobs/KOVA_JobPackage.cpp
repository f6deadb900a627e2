#include "workflow/jobs/KOVA_JobPackage.h"

#include "workflow/KOVA_RoadHook.h"

namespace {

constinit KOVA_RoadHook<KOVA_JobPackage::NodeReader> reader("reader of inline packages");
constinit KOVA_RoadHook<KOVA_JobPackage::Finder> finder("package finder");

} // namespace

void KOVA_JobPackage::install(NodeReader nodeReader, Finder packageFinder)
{
    reader.install(nodeReader);
    finder.install(packageFinder);
}

KOVA_JobPackage::Pointer KOVA_JobPackage::initWithNode(const platform::XmlNode& node, const std::shared_ptr<KOVA_Job>& job)
{
    return reader.installed()(node, job);
}

KOVA_JobPackage::Pointer KOVA_JobPackage::packageWithDictionary(const QVariantMap& description)
{
    return finder.installed()(description);
}

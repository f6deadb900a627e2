#include "workflow/packages/KOVA_PackageOutput.h"

#include <QtGlobal>

#include <atomic>

namespace {

std::atomic<KOVA_PackageOutput::NodeReader> installedReader{nullptr};

} // namespace

void KOVA_PackageOutput::install(NodeReader reader)
{
    installedReader.store(reader);
}

KOVA_PackageOutput::Pointer KOVA_PackageOutput::initWithNode(const platform::XmlNode& node, platform::Error* error)
{
    const NodeReader reader = installedReader.load();
    if (!reader)
        qFatal("no outputs are installed: the program must set the road up (KOVA_Road::install) first");
    return reader(node, error);
}

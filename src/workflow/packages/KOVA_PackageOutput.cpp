#include "workflow/packages/KOVA_PackageOutput.h"

#include "workflow/KOVA_RoadHook.h"

namespace {

constinit KOVA_RoadHook<KOVA_PackageOutput::NodeReader> reader("reader of outputs");

} // namespace

void KOVA_PackageOutput::install(NodeReader nodeReader)
{
    reader.install(nodeReader);
}

KOVA_PackageOutput::Pointer KOVA_PackageOutput::initWithNode(const platform::XmlNode& node, platform::Error* error)
{
    return reader.installed()(node, error);
}

#pragma once

#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlNode.h"

#include <QString>

namespace kova::test {

// The root element of `xml`, kept alive by the handle; null when the text does not parse.
inline platform::XmlNode rootElement(const char* xml)
{
    const auto document = platform::XmlDocument::parse(QString::fromUtf8(xml), platform::XmlDocument::PreserveAll);
    return document ? document->rootElement() : platform::XmlNode();
}

} // namespace kova::test

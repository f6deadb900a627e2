#pragma once

#include "platform/xml/XmlNode.h"

#include <QList>
#include <QString>

// How the elements inside an output (destinations, codes, placement nodes) are walked: what
// is passed over silently, what is logged and left out, and how names are compared. Nothing
// here fails; content that does not fit is logged and skipped.
namespace OutputElementReading {

// The element's attributes in document order. A node of another kind in the list is logged
// ("unexpected xml parsing attributes for ...") with the element's name, level and index.
QList<platform::XmlNode> attributes(const platform::XmlNode& element);

// The element's child elements in document order. Comments are passed over; a node of any
// other kind is logged with its kind.
QList<platform::XmlNode> childElements(const platform::XmlNode& element);

// Whether the node's name is `name`, without regard to case.
bool isNamed(const platform::XmlNode& node, const QString& name);

// Logs a child element that `element` has no use for.
void logUnexpectedElement(const platform::XmlNode& child, const platform::XmlNode& element);

} // namespace OutputElementReading

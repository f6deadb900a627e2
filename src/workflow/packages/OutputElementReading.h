#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlNode.h"

#include <QList>
#include <QString>

// How the elements inside a package file's outputs (destinations, codes, placement nodes), and
// the outputs themselves, are walked: what
// is passed over silently, what is logged and left out, and how names are compared. Nothing
// here fails; content that does not fit is logged and skipped. An element with more of some
// child than a reader takes is refused with limitPassed()'s error.
namespace OutputElementReading {

// The error of an element refused while it is read: it has more than `limit` of `what`
// ("refused to read an output: more than 1000 destinations").
platform::Error limitPassed(const QString& element, const QString& what, int limit);

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

#include "workflow/packages/OutputElementReading.h"

#include "platform/Log.h"

#include <cerrno>

using platform::XmlNode;
using platform::XmlNodeKind;

namespace OutputElementReading {

platform::Error limitPassed(const QString& element, const QString& what, int limit)
{
    return {platform::Error::POSIXDomain, EFBIG,
            QStringLiteral("refused to read %1: more than %2 %3").arg(element, QString::number(limit), what)};
}

QList<XmlNode> attributes(const XmlNode& element)
{
    QList<XmlNode> found;
    for (const XmlNode& attribute : element.attributes()) {
        if (attribute.kind() == XmlNodeKind::Attribute) {
            found.append(attribute);
            continue;
        }
        platform::Log::log(QStringLiteral("unexpected xml parsing attributes for %1 (L%2,I%3)")
                               .arg(element.name(), QString::number(element.level()), QString::number(element.index())));
    }
    return found;
}

QList<XmlNode> childElements(const XmlNode& element)
{
    QList<XmlNode> found;
    for (const XmlNode& child : element.children()) {
        if (child.kind() == XmlNodeKind::Element)
            found.append(child);
        else if (child.kind() != XmlNodeKind::Comment)
            platform::Log::log(QStringLiteral("Found unexpected XML element kind:\n%1").arg(static_cast<unsigned>(child.kind())));
    }
    return found;
}

bool isNamed(const XmlNode& node, const QString& name)
{
    return node.name().compare(name, Qt::CaseInsensitive) == 0;
}

void logUnexpectedElement(const XmlNode& child, const XmlNode& element)
{
    platform::Log::log(QStringLiteral("Found unexpected XML element \"%1\" while parsing %2").arg(child.name(), element.name()));
}

} // namespace OutputElementReading

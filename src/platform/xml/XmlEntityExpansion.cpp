#include "platform/xml/XmlEntityExpansion.h"

#include <libxml/entities.h>
#include <libxml/tree.h>

namespace platform {

bool XmlEntityExpansion::exceeds(xmlDocPtr document, qint64 limit)
{
    return XmlEntityExpansion(document, limit).ofList(document->children, false) > limit;
}

XmlEntityExpansion::XmlEntityExpansion(xmlDocPtr document, qint64 limit)
    : m_document(document)
    , m_limit(limit)
{
}

qint64 XmlEntityExpansion::ofList(xmlNodePtr first, bool insideEntity)
{
    qint64 total = 0;
    for (xmlNodePtr node = first; node && total <= m_limit; node = node->next) {
        if (node->type == XML_ENTITY_REF_NODE)
            total += ofEntity(xmlGetDocEntity(m_document, node->name));
        else if (node->type == XML_ELEMENT_NODE)
            total += ofList(node->children, insideEntity) + ofAttributes(node, insideEntity);
        else if (insideEntity && node->content)
            total += xmlStrlen(node->content);
        total = capped(total);
    }
    return total;
}

qint64 XmlEntityExpansion::ofAttributes(xmlNodePtr element, bool insideEntity)
{
    qint64 total = 0;
    for (xmlAttrPtr attribute = element->properties; attribute && total <= m_limit; attribute = attribute->next)
        total = capped(total + ofList(attribute->children, insideEntity));
    return total;
}

qint64 XmlEntityExpansion::ofEntity(xmlEntityPtr entity)
{
    if (!entity)
        return 0;
    if (const auto known = m_sizes.find(entity); known != m_sizes.end())
        return known->second;
    // An entity met again while it is being measured refers to itself: unbounded.
    m_sizes[entity] = m_limit + 1;
    const qint64 size = ofList(entity->children, true);
    m_sizes[entity] = size;
    return size;
}

} // namespace platform

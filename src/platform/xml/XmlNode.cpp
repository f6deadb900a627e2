#include "platform/xml/XmlNode.h"

#include "platform/xml/XmlDocument.h"

#include <libxml/tree.h>

namespace platform {

namespace {

const xmlChar* xmlText(const QByteArray& utf8)
{
    return reinterpret_cast<const xmlChar*>(utf8.constData());
}

QString text(const xmlChar* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(value));
}

QString takeText(xmlChar* value)
{
    const QString result = text(value);
    xmlFree(value);
    return result;
}

bool isValidName(const QString& name)
{
    return !name.isEmpty() && xmlValidateName(xmlText(name.toUtf8()), 0) == 0;
}

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

// UTF-8 of `value` without the characters an XML 1.0 document cannot hold (most
// control characters), which would make the written document unreadable.
QByteArray xmlCharacters(const QString& value)
{
    QList<uint> characters = value.toUcs4();
    characters.removeIf([](uint c) { return !isXmlCharacter(c); });
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()), characters.size()).toUtf8();
}

XmlNodeKind kindOf(xmlElementType type)
{
    switch (type) {
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return XmlNodeKind::Document;
    case XML_ELEMENT_NODE:
        return XmlNodeKind::Element;
    case XML_ATTRIBUTE_NODE:
        return XmlNodeKind::Attribute;
    case XML_NAMESPACE_DECL:
        return XmlNodeKind::Namespace;
    case XML_PI_NODE:
        return XmlNodeKind::ProcessingInstruction;
    case XML_COMMENT_NODE:
        return XmlNodeKind::Comment;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_ENTITY_REF_NODE:
        return XmlNodeKind::Text;
    case XML_DTD_NODE:
    case XML_DOCUMENT_TYPE_NODE:
        return XmlNodeKind::DTD;
    case XML_ENTITY_NODE:
    case XML_ENTITY_DECL:
        return XmlNodeKind::EntityDeclaration;
    case XML_ATTRIBUTE_DECL:
        return XmlNodeKind::AttributeDeclaration;
    case XML_ELEMENT_DECL:
        return XmlNodeKind::ElementDeclaration;
    case XML_NOTATION_NODE:
        return XmlNodeKind::NotationDeclaration;
    default:
        return XmlNodeKind::Invalid;
    }
}

} // namespace

XmlNode::XmlNode(std::shared_ptr<XmlDocument> document, xmlNodePtr node)
    : m_document(std::move(document))
    , m_node(node)
{
}

XmlNode XmlNode::element(const QString& name, const QString& stringValue)
{
    if (!isValidName(name))
        return {};
    const std::shared_ptr<XmlDocument> document = XmlDocument::standaloneElement(name);
    XmlNode node(document, document->m_standaloneElement);
    if (!stringValue.isEmpty())
        node.setStringValue(stringValue);
    return node;
}

XmlNode XmlNode::related(xmlNodePtr node) const
{
    return node ? XmlNode(m_document, node) : XmlNode();
}

XmlNodeKind XmlNode::kind() const
{
    return m_node ? kindOf(m_node->type) : XmlNodeKind::Invalid;
}

QString XmlNode::name() const
{
    switch (kind()) {
    case XmlNodeKind::Element:
    case XmlNodeKind::Attribute: {
        // An attribute keeps its namespace where an element does.
        const xmlNs* ns = m_node->type == XML_ATTRIBUTE_NODE ? reinterpret_cast<xmlAttrPtr>(m_node)->ns : m_node->ns;
        const QString local = text(m_node->name);
        return ns && ns->prefix ? text(ns->prefix) + QLatin1Char(':') + local : local;
    }
    case XmlNodeKind::ProcessingInstruction:
        return text(m_node->name);
    default:
        return {};
    }
}

bool XmlNode::setName(const QString& name)
{
    if (kind() != XmlNodeKind::Element || !isValidName(name))
        return false;
    xmlNodeSetName(m_node, xmlText(name.toUtf8()));
    return true;
}

QString XmlNode::stringValue() const
{
    return m_node ? takeText(xmlNodeGetContent(m_node)) : QString();
}

void XmlNode::setStringValue(const QString& value)
{
    if (!m_node)
        return;
    const QByteArray characters = xmlCharacters(value);
    switch (m_node->type) {
    case XML_ELEMENT_NODE: {
        XmlDocument* document = XmlDocument::owner(m_node);
        while (xmlNodePtr child = m_node->children) {
            xmlUnlinkNode(child);
            document->keepDetached(child);
        }
        if (!characters.isEmpty())
            xmlAddChild(m_node, xmlNewDocText(m_node->doc, xmlText(characters)));
        break;
    }
    case XML_ATTRIBUTE_NODE: {
        const auto attribute = reinterpret_cast<xmlAttrPtr>(m_node);
        xmlSetNsProp(attribute->parent, attribute->ns, attribute->name, xmlText(characters));
        break;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        xmlNodeSetContent(m_node, xmlText(characters));
        break;
    default:
        break;
    }
}

XmlNode XmlNode::parent() const
{
    return m_node ? related(m_node->parent) : XmlNode();
}

qsizetype XmlNode::level() const
{
    qsizetype level = 0;
    for (xmlNodePtr node = m_node ? m_node->parent : nullptr; node; node = node->parent)
        ++level;
    return level;
}

qsizetype XmlNode::index() const
{
    if (!m_node || !m_node->parent)
        return 0;
    xmlNodePtr sibling = m_node->type == XML_ATTRIBUTE_NODE ? reinterpret_cast<xmlNodePtr>(m_node->parent->properties)
                                                            : m_node->parent->children;
    qsizetype position = 0;
    for (; sibling && sibling != m_node; sibling = sibling->next)
        ++position;
    return position;
}

bool XmlNode::canHaveChildren() const
{
    const XmlNodeKind nodeKind = kind();
    return nodeKind == XmlNodeKind::Element || nodeKind == XmlNodeKind::Document;
}

qsizetype XmlNode::childCount() const
{
    qsizetype count = 0;
    if (canHaveChildren()) {
        for (xmlNodePtr child = m_node->children; child; child = child->next)
            ++count;
    }
    return count;
}

XmlNode XmlNode::childAt(qsizetype index) const
{
    if (!canHaveChildren() || index < 0)
        return {};
    xmlNodePtr child = m_node->children;
    for (; child && index > 0; child = child->next)
        --index;
    return related(child);
}

QList<XmlNode> XmlNode::children() const
{
    QList<XmlNode> result;
    if (canHaveChildren()) {
        for (xmlNodePtr child = m_node->children; child; child = child->next)
            result.append(related(child));
    }
    return result;
}

XmlNode XmlNode::previousSibling() const
{
    return m_node && m_node->type != XML_ATTRIBUTE_NODE ? related(m_node->prev) : XmlNode();
}

XmlNode XmlNode::nextSibling() const
{
    return m_node && m_node->type != XML_ATTRIBUTE_NODE ? related(m_node->next) : XmlNode();
}

XmlNode XmlNode::nextNode() const
{
    if (!m_node || m_node->type == XML_ATTRIBUTE_NODE)
        return {};
    if (canHaveChildren() && m_node->children)
        return related(m_node->children);
    for (xmlNodePtr node = m_node; node; node = node->parent) {
        if (node->next)
            return related(node->next);
    }
    return {};
}

QList<XmlNode> XmlNode::attributes() const
{
    QList<XmlNode> result;
    if (kind() == XmlNodeKind::Element) {
        for (xmlAttrPtr attribute = m_node->properties; attribute; attribute = attribute->next)
            result.append(related(reinterpret_cast<xmlNodePtr>(attribute)));
    }
    return result;
}

XmlNode XmlNode::attributeForName(const QString& name, Qt::CaseSensitivity cs) const
{
    for (const XmlNode& attribute : attributes()) {
        if (attribute.name().compare(name, cs) == 0)
            return attribute;
    }
    return {};
}

bool XmlNode::setAttribute(const QString& name, const QString& value)
{
    if (kind() != XmlNodeKind::Element || !isValidName(name))
        return false;
    xmlSetProp(m_node, xmlText(name.toUtf8()), xmlText(xmlCharacters(value)));
    return true;
}

QList<XmlNode> XmlNode::elementsForName(const QString& name, Qt::CaseSensitivity cs) const
{
    QList<XmlNode> result;
    for (const XmlNode& child : children()) {
        if (child.kind() == XmlNodeKind::Element && child.name().compare(name, cs) == 0)
            result.append(child);
    }
    return result;
}

bool XmlNode::isInDocumentTree() const
{
    xmlNodePtr top = m_node;
    while (top->parent)
        top = top->parent;
    return top->type == XML_DOCUMENT_NODE || top == XmlDocument::owner(m_node)->m_standaloneElement;
}

bool XmlNode::addChild(const XmlNode& child)
{
    if (kind() != XmlNodeKind::Element || child.isNull() || !isInDocumentTree())
        return false;
    XmlDocument* source = XmlDocument::owner(child.m_node);
    if (source->m_standaloneElement != child.m_node || source == XmlDocument::owner(m_node))
        return false;
    source->moveStandaloneElement(m_node);
    return true;
}

QString XmlNode::xmlString(XmlFormatting formatting) const
{
    if (!m_node)
        return {};
    const QString xml = QString::fromUtf8(XmlDocument::owner(m_node)->serialised(m_node, formatting));
    // The library writes an attribute as it appears inside a tag, after a space.
    return m_node->type == XML_ATTRIBUTE_NODE ? xml.trimmed() : xml;
}

} // namespace platform

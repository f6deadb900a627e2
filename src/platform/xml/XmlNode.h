#pragma once

#include <QList>
#include <QString>

#include <memory>

struct _xmlNode;

namespace platform {

class XmlDocument;

// Node kinds as the log lines print them ("Found unexpected XML element kind:\n%lu").
enum class XmlNodeKind : unsigned {
    Invalid = 0,
    Document = 1,
    Element = 2,
    Attribute = 3,
    Namespace = 4,
    ProcessingInstruction = 5,
    Comment = 6,
    Text = 7, // also CDATA sections and entity references
    DTD = 8,
    EntityDeclaration = 9,
    AttributeDeclaration = 10,
    ElementDeclaration = 11,
    NotationDeclaration = 12,
};

enum class XmlFormatting {
    Compact,
    PrettyPrint, // elements without text content indented by four spaces, one per line
};

// A lightweight handle to one node of an XmlDocument. Copies refer to the same node.
// A handle keeps its document alive, so a node stays valid as long as any handle to
// it exists. A default-constructed handle is null; every query on it answers empty.
//
// Nodes are built with element(): a new element stands alone until it is added to
// another element with addChild() (it moves there; the handle keeps referring to it)
// or becomes the root of a new document (XmlDocument::create()).
class XmlNode {
public:
    XmlNode() = default;

    // A new element standing alone, with `stringValue` as its text when not empty.
    // Null when `name` is not a valid XML name.
    static XmlNode element(const QString& name, const QString& stringValue = {});

    bool isNull() const { return m_node == nullptr; }
    XmlNodeKind kind() const;

    // The qualified name ("prefix:local") of an element or attribute, the target of a
    // processing instruction; empty for other kinds.
    QString name() const;
    // Renames an element; false (and nothing changed) when this is not an element or
    // `name` is not a valid XML name.
    bool setName(const QString& name);

    // Text of the node: for an element or document the text of all its descendants in
    // document order (comments and processing instructions left out), for an attribute
    // its value, for a text, comment or processing instruction its content.
    QString stringValue() const;
    // Replaces the text. An element loses its children (handles to them stay valid,
    // detached) and gets `value` as its only text. Characters XML 1.0 cannot carry
    // are left out so the output always reads back.
    void setStringValue(const QString& value);

    // The parent: an element, or the document node for a root element; an attribute's
    // parent is its element. Null for the document node and a standalone element.
    XmlNode parent() const;
    // Depth below the document node (the root element has level 1; an attribute is one
    // below its element). A standalone element has level 0.
    qsizetype level() const;
    // Position among the parent's children (an attribute: among its element's
    // attributes); 0 without a parent.
    qsizetype index() const;

    // Children of an element or document, every kind, in document order.
    qsizetype childCount() const;
    XmlNode childAt(qsizetype index) const;
    QList<XmlNode> children() const;
    XmlNode previousSibling() const;
    XmlNode nextSibling() const;
    // The next node in document order: the first child, else the next sibling of this
    // node or of its nearest ancestor that has one.
    XmlNode nextNode() const;

    // Attributes of an element in document order.
    QList<XmlNode> attributes() const;
    XmlNode attributeForName(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;
    // Sets the value of the attribute `name`, keeping its place when it exists and
    // appending it otherwise; false when this is not an element or the name is invalid.
    bool setAttribute(const QString& name, const QString& value);
    // Element children named `name`, in document order.
    QList<XmlNode> elementsForName(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive) const;

    // Appends a standalone element (made by element()) to this element's children.
    // False when this node is not an element of a document tree or a standalone
    // element, or when `child` is not a standalone element (it already has a place,
    // or this node is inside it).
    bool addChild(const XmlNode& child);

    // The node's own XML text: for the document node the whole document with its XML
    // declaration when it has one; for an attribute name="value".
    QString xmlString(XmlFormatting formatting = XmlFormatting::Compact) const;

    friend bool operator==(const XmlNode& a, const XmlNode& b) { return a.m_node == b.m_node; }

private:
    friend class XmlDocument;

    XmlNode(std::shared_ptr<XmlDocument> document, _xmlNode* node);
    XmlNode related(_xmlNode* node) const;
    bool isInDocumentTree() const;
    bool canHaveChildren() const;

    // Keeps alive the document this handle was made from; that document leads (through
    // the documents it was merged into) to the one owning the node today.
    std::shared_ptr<XmlDocument> m_document;
    _xmlNode* m_node = nullptr;
};

} // namespace platform

#include "platform/xml/XmlDocument.h"

#include "platform/xml/XmlEntityExpansion.h"
#include "platform/xml/XmlInputRepair.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

// Every external resource a document names (DTD, entity, over any scheme) is refused:
// the process never reads files or the network on a document's behalf.
xmlParserInputPtr refuseExternalResource(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalResource);
    });
}

// The first error a parse reports; later ones mostly follow from it.
struct FirstParseError {
    int code = 0;
    int line = 0;
    QString message;
};

// The child elements of every open element, counted by name without regard to case,
// so that a document is refused at the first element past the bound on same-named
// siblings, before the rest of its text is read into a tree.
struct SiblingCounts {
    struct OpenElement {
        QString name;
        std::unordered_map<std::string, int> children;
    };
    int maximum = 0; // 0: no bound
    std::vector<OpenElement> open;
    QString refusal;
};

struct ParseState {
    FirstParseError first;
    SiblingCounts siblings;
};

ParseState& parseState(void* context)
{
    return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void collectParseError(void* context, xmlErrorPtr error)
{
    FirstParseError& first = parseState(context).first;
    if (error->level < XML_ERR_ERROR || first.code != 0)
        return;
    first.code = error->code;
    first.line = error->line;
    first.message = QString::fromUtf8(error->message).trimmed();
}

void startCountedElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                         int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                         const xmlChar** attributes)
{
    SiblingCounts& siblings = parseState(context).siblings;
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(localName));
    if (!siblings.open.empty()) {
        SiblingCounts::OpenElement& parent = siblings.open.back();
        if (++parent.children[name.toLower().toStdString()] > siblings.maximum) {
            siblings.refusal = QStringLiteral("\"%1\" holds more than %2 \"%3\" elements")
                                   .arg(parent.name, QString::number(siblings.maximum), name);
            xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
            return;
        }
    }
    siblings.open.push_back({name, {}});
    xmlSAX2StartElementNs(context, localName, prefix, uri, namespaceCount, namespaces, attributeCount,
                          defaultedCount, attributes);
}

void endCountedElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    SiblingCounts& siblings = parseState(context).siblings;
    if (!siblings.open.empty())
        siblings.open.pop_back();
    xmlSAX2EndElementNs(context, localName, prefix, uri);
}

Error parseError(const FirstParseError& first)
{
    if (first.code == 0)
        return Error{XmlDocument::ErrorDomain, XML_ERR_DOCUMENT_EMPTY, QStringLiteral("Document is empty")};
    return Error{XmlDocument::ErrorDomain, first.code,
                 QStringLiteral("Line %1: %2").arg(first.line).arg(first.message)};
}

// Never XML_PARSE_NOENT, DTDLOAD, DTDATTR, DTDVALID, XINCLUDE or HUGE: references stay
// unexpanded, nothing external is read, and the parser's size and depth limits hold.
int libraryOptions(XmlDocument::ParseOptions options)
{
    int flags = XML_PARSE_NONET | XML_PARSE_BIG_LINES;
    if (!options.testFlag(XmlDocument::PreserveAll))
        flags |= XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA;
    if (options.testFlag(XmlDocument::TidyXML))
        flags |= XML_PARSE_RECOVER;
    return flags;
}

using DocumentPointer = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

QString text(const xmlChar* value)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(value));
}

void replaceDocumentText(xmlDocPtr doc, const xmlChar*& field, const QString& value)
{
    if (field && !(doc->dict && xmlDictOwns(doc->dict, field)))
        xmlFree(const_cast<xmlChar*>(field));
    field = value.isEmpty() ? nullptr : xmlStrdup(reinterpret_cast<const xmlChar*>(value.toUtf8().constData()));
}

constexpr int NoXmlDeclaration = -1;
constexpr int NoStandaloneAttribute = -2;
constexpr const char* PrettyPrintIndent = "    ";

} // namespace

std::shared_ptr<XmlDocument> XmlDocument::parse(const QByteArray& data, ParseOptions options, Error* error,
                                                 int maximumSameNamedSiblings)
{
    if (!isWithinSizeLimit(data.size(), error))
        return nullptr;
    const QByteArray input = options.testFlag(TidyXML) ? XmlInputRepair::repaired(data) : data;
    return parseBytes(input, nullptr, libraryOptions(options), error, maximumSameNamedSiblings);
}

std::shared_ptr<XmlDocument> XmlDocument::parse(const QString& text, ParseOptions options, Error* error,
                                                 int maximumSameNamedSiblings)
{
    const QByteArray utf8 = text.toUtf8();
    if (!isWithinSizeLimit(utf8.size(), error))
        return nullptr;
    const QByteArray input = options.testFlag(TidyXML) ? XmlInputRepair::repaired(utf8) : utf8;
    return parseBytes(input, "UTF-8", libraryOptions(options) | XML_PARSE_IGNORE_ENC, error, maximumSameNamedSiblings);
}

bool XmlDocument::isWithinSizeLimit(qsizetype size, Error* error)
{
    if (size <= MaximumInputSize)
        return true;
    setError(error, Error{Error::POSIXDomain, EFBIG,
                          QStringLiteral("XML input of %1 bytes exceeds the limit of %2 bytes")
                              .arg(size)
                              .arg(MaximumInputSize)});
    return false;
}

std::shared_ptr<XmlDocument> XmlDocument::parseBytes(const QByteArray& data, const char* encoding,
                                                     int libraryOptions, Error* error, int maximumSameNamedSiblings)
{
    initialiseLibrary();
    std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)> context(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!context) {
        setError(error, Error::fromErrno(ENOMEM));
        return nullptr;
    }
    ParseState state;
    context->_private = &state;
    context->sax->serror = collectParseError;
    if (maximumSameNamedSiblings > 0) {
        state.siblings.maximum = maximumSameNamedSiblings;
        context->sax->startElementNs = startCountedElement;
        context->sax->endElementNs = endCountedElement;
    }
    DocumentPointer doc(xmlCtxtReadMemory(context.get(), data.constData(), static_cast<int>(data.size()),
                                          nullptr, encoding, libraryOptions),
                        xmlFreeDoc);
    if (!state.siblings.refusal.isEmpty()) {
        setError(error, Error{Error::POSIXDomain, EFBIG, state.siblings.refusal});
        return nullptr;
    }
    if (!doc || !xmlDocGetRootElement(doc.get())) {
        setError(error, parseError(state.first));
        return nullptr;
    }
    if (XmlEntityExpansion::exceeds(doc.get(), MaximumEntityExpansion)) {
        setError(error, Error{ErrorDomain, XML_ERR_ENTITY_LOOP,
                              QStringLiteral("Entity references expand to more than %1 bytes")
                                  .arg(MaximumEntityExpansion)});
        return nullptr;
    }
    return std::shared_ptr<XmlDocument>(new XmlDocument(doc.release()));
}

bool XmlDocument::isRepairable(const QString& text, const Error& strictError)
{
    if (strictError.domain == Error::POSIXDomain)
        return strictError.code != EFBIG;
    if (strictError.domain != ErrorDomain)
        return true;
    switch (strictError.code) {
    case XML_ERR_INTERNAL_ERROR: // how the parser reports its depth limit
    case XML_ERR_ENTITY_LOOP: // entities that loop, or expand past the limit
        return false;
    case XML_ERR_TAG_NOT_FINISHED: // well formed up to its end, where elements are still open
        return false;
    default:
        // A text that ends inside a tag, a comment or a run of text was cut off there.
        return QStringView(text).trimmed().endsWith(QLatin1Char('>'));
    }
}

std::shared_ptr<XmlDocument> XmlDocument::create(const XmlNode& rootElement)
{
    if (rootElement.isNull())
        return nullptr;
    XmlDocument* document = owner(rootElement.m_node);
    if (document->m_standaloneElement != rootElement.m_node)
        return nullptr;
    document->m_standaloneElement = nullptr;
    xmlDocSetRootElement(document->m_doc, rootElement.m_node);
    return document->shared_from_this();
}

std::shared_ptr<XmlDocument> XmlDocument::standaloneElement(const QString& name)
{
    initialiseLibrary();
    std::shared_ptr<XmlDocument> document(new XmlDocument(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"))));
    document->m_standaloneElement =
        xmlNewDocNode(document->m_doc, nullptr, reinterpret_cast<const xmlChar*>(name.toUtf8().constData()), nullptr);
    return document;
}

XmlDocument::XmlDocument(xmlDocPtr doc)
    : m_doc(doc)
{
    m_doc->_private = this;
}

XmlDocument::~XmlDocument()
{
    if (m_standaloneElement)
        xmlFreeNode(m_standaloneElement);
    for (xmlNodePtr node : m_detached)
        xmlFreeNode(node);
    xmlFreeDoc(m_doc);
}

XmlDocument* XmlDocument::owner(const xmlNode* node)
{
    return static_cast<XmlDocument*>(node->doc->_private);
}

XmlNode XmlDocument::rootElement() const
{
    xmlNodePtr root = xmlDocGetRootElement(m_doc);
    return root ? XmlNode(std::const_pointer_cast<XmlDocument>(shared_from_this()), root) : XmlNode();
}

XmlNode XmlDocument::node() const
{
    return XmlNode(std::const_pointer_cast<XmlDocument>(shared_from_this()), reinterpret_cast<xmlNodePtr>(m_doc));
}

QString XmlDocument::version() const
{
    return text(m_doc->version);
}

void XmlDocument::setVersion(const QString& version)
{
    replaceDocumentText(m_doc, m_doc->version, version);
    markDeclaration();
}

QString XmlDocument::characterEncoding() const
{
    return text(m_doc->encoding);
}

void XmlDocument::setCharacterEncoding(const QString& encoding)
{
    replaceDocumentText(m_doc, m_doc->encoding, encoding);
    markDeclaration();
}

bool XmlDocument::isStandalone() const
{
    return m_doc->standalone == 1;
}

void XmlDocument::setStandalone(bool standalone)
{
    m_doc->standalone = standalone ? 1 : NoStandaloneAttribute;
}

bool XmlDocument::hasDeclaration() const
{
    return m_doc->standalone != NoXmlDeclaration;
}

void XmlDocument::markDeclaration()
{
    if (m_doc->standalone == NoXmlDeclaration)
        m_doc->standalone = NoStandaloneAttribute;
}

QString XmlDocument::xmlString(XmlFormatting formatting) const
{
    return QString::fromUtf8(xmlData(formatting));
}

QByteArray XmlDocument::xmlData(XmlFormatting formatting) const
{
    return serialised(reinterpret_cast<xmlNodePtr>(m_doc), formatting);
}

QByteArray XmlDocument::serialised(xmlNodePtr node, XmlFormatting formatting) const
{
    int options = formatting == XmlFormatting::PrettyPrint ? XML_SAVE_FORMAT : 0;
    if (node->type == XML_DOCUMENT_NODE && !hasDeclaration())
        options |= XML_SAVE_NO_DECL;
    std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), xmlBufferFree);
    // The indent is a per-thread setting the save context copies when it is made.
    const char* previousIndent = xmlTreeIndentString;
    xmlTreeIndentString = PrettyPrintIndent;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", options);
    xmlTreeIndentString = previousIndent;
    if (!save)
        return {};
    if (node->type == XML_DOCUMENT_NODE)
        xmlSaveDoc(save, m_doc);
    else
        xmlSaveTree(save, node);
    xmlSaveClose(save);
    return QByteArray(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())), xmlBufferLength(buffer.get()));
}

void XmlDocument::keepDetached(xmlNodePtr node)
{
    m_detached.push_back(node);
}

void XmlDocument::moveStandaloneElement(xmlNodePtr parent)
{
    xmlNodePtr element = m_standaloneElement;
    m_standaloneElement = nullptr;
    xmlDOMWrapAdoptNode(nullptr, m_doc, element, parent->doc, parent, 0);
    xmlAddChild(parent, element);
    m_mergedInto = owner(parent)->shared_from_this();
}

} // namespace platform

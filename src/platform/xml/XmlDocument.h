#pragma once

#include "platform/Error.h"
#include "platform/xml/XmlNode.h"

#include <QByteArray>
#include <QFlags>
#include <QString>

#include <memory>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace platform {

// A parsed or built XML document over libxml2. Shared: XmlNode handles keep it alive.
// One document is used by one thread at a time; different documents may be parsed,
// read and written on any threads at once.
//
// Input is untrusted: nothing external is ever loaded (no DTDs, no external entities,
// no network), input is bounded in size and nesting, and a document whose entity
// references would expand beyond a bound is refused.
class XmlDocument : public std::enable_shared_from_this<XmlDocument> {
public:
    enum ParseOption {
        // Keep every node as written: whitespace-only text between elements, CDATA
        // sections, comments. Without it whitespace-only text between elements is
        // dropped and CDATA becomes plain text.
        PreserveAll = 0x1,
        // Repair malformed XML instead of failing: unclosed and mismatched tags are
        // closed, a stray "&" is kept as text, bytes that are not valid UTF-8 in UTF-8
        // input are read as Latin-1. Fails only when no root element results.
        TidyXML = 0x2,
    };
    Q_DECLARE_FLAGS(ParseOptions, ParseOption)

    static inline const QString ErrorDomain = QStringLiteral("NSXMLParserErrorDomain");
    static constexpr qsizetype MaximumInputSize = 64 * 1024 * 1024;
    // Upper bound of the text that all entity references of a document expand to.
    static constexpr qint64 MaximumEntityExpansion = 8 * 1024 * 1024;

    // Parses bytes; the encoding comes from a byte order mark or the XML declaration,
    // UTF-8 by default. Null on failure, with `error` set (the parser's first message
    // and its line). With `maximumSameNamedSiblings`, a document in which one element
    // holds more child elements of one name (without regard to case) is refused
    // (POSIX EFBIG, naming both elements) as soon as the parser meets the first one
    // past the bound, before the rest is read: a reader with a bound on how many of a
    // kind it takes need not build a tree of millions of them first.
    static std::shared_ptr<XmlDocument> parse(const QByteArray& data, ParseOptions options,
                                              Error* error = nullptr, int maximumSameNamedSiblings = 0);
    // Parses text that is already decoded; an encoding named by its declaration is ignored.
    static std::shared_ptr<XmlDocument> parse(const QString& text, ParseOptions options,
                                              Error* error = nullptr, int maximumSameNamedSiblings = 0);
    // Whether a document whose strict parse failed with `strictError` may be taken in
    // its repaired form: only when the damage is local (a stray "&", bytes of another
    // encoding, a tag left open inside). A text cut off (it ends inside markup or text,
    // or is well formed up to an end where elements are still open), nested past the
    // parser's depth limit, or whose entities loop or expand past the limit has lost
    // what it holds: a repair would pass a fragment off as the whole document.
    static bool isRepairable(const QString& text, const Error& strictError);
    // A new document whose root is `rootElement`, a standalone element (XmlNode::element());
    // the element's handles stay valid. Null when the element already has a place.
    static std::shared_ptr<XmlDocument> create(const XmlNode& rootElement);

    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    XmlNode rootElement() const;
    // The document itself as a node (kind Document): its children, level 0.
    XmlNode node() const;

    // The XML declaration. A parsed document has one when its text had one; setting
    // any of these gives a built document one.
    QString version() const;
    void setVersion(const QString& version);
    QString characterEncoding() const;
    void setCharacterEncoding(const QString& encoding);
    bool isStandalone() const;
    void setStandalone(bool standalone);

    // The document as text, and as UTF-8 bytes. Output is always UTF-8: a declaration
    // names UTF-8 whatever encoding the parsed text had.
    QString xmlString(XmlFormatting formatting = XmlFormatting::Compact) const;
    QByteArray xmlData(XmlFormatting formatting = XmlFormatting::Compact) const;

private:
    friend class XmlNode;

    explicit XmlDocument(_xmlDoc* doc);
    static bool isWithinSizeLimit(qsizetype size, Error* error);
    static std::shared_ptr<XmlDocument> parseBytes(const QByteArray& data, const char* encoding,
                                                   int libraryOptions, Error* error, int maximumSameNamedSiblings);
    static std::shared_ptr<XmlDocument> standaloneElement(const QString& name);
    static XmlDocument* owner(const _xmlNode* node);

    bool hasDeclaration() const;
    void markDeclaration();
    QByteArray serialised(_xmlNode* node, XmlFormatting formatting) const;
    // Takes ownership of a node unlinked from the tree so handles to it stay valid.
    void keepDetached(_xmlNode* node);
    // Moves this document's standalone element under `parent` (a node of another
    // document) and lets this document lead to that one from now on.
    void moveStandaloneElement(_xmlNode* parent);

    _xmlDoc* m_doc = nullptr;
    _xmlNode* m_standaloneElement = nullptr;
    std::vector<_xmlNode*> m_detached;
    std::shared_ptr<XmlDocument> m_mergedInto;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(XmlDocument::ParseOptions)

} // namespace platform

#pragma once

#include "platform/Error.h"
#include "platform/observation/Observable.h"
#include "platform/plist/Archivable.h"
#include "platform/xml/XmlDocument.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>

namespace platform {
class KeyedUnarchiver;
}

// "yes" or "no": how every boolean stored as text in a document is written.
QString stringForBOOL(bool value);

// Base of the documents read from XML files (templates with their layers, product
// packages). It holds the XML text, its parse (made on first use), the file it came
// from, and the value map into which the subclasses put every value they read,
// keyed by the texts of the XML vocabulary. The subclasses parse the document
// themselves.
//
// The value map, the document URL and the XML text are each read and replaced
// under a lock; the map is otherwise changed by one thread at a time (its owner's).
// The parse is made once, whichever thread asks first.
class KOVA_XML_object : public platform::Observable,
                        public platform::Archivable,
                        public std::enable_shared_from_this<KOVA_XML_object> {
public:
    static inline const QString ClassName = QStringLiteral("KOVA_XML_object");
    // Largest document file read; anything longer is refused with a logged error.
    static constexpr qint64 MaximumFileSize = platform::XmlDocument::MaximumInputSize;

    // An empty document: empty value map, no URL, no text.
    KOVA_XML_object();
    ~KOVA_XML_object() override;

    // A new T built from `object`: a text is a file path (turned into a file URL),
    // a QUrl a file, QByteArray UTF-8 XML. Null when no XML text results.
    template <class T = KOVA_XML_object>
    static std::shared_ptr<T> instanceWithXMLObject(const QVariant& object);
    // A new T built from `object`: a text is the XML source itself, a QUrl a file to
    // read (the encoding detected), QByteArray UTF-8 XML. Null when no XML text
    // results; an unreadable file is logged.
    template <class T = KOVA_XML_object>
    static std::shared_ptr<T> initWithObject(const QVariant& object);

    // The value map: a copy of it, or one entry of it.
    QVariantMap valuesDict() const;
    void setValuesDict(const QVariantMap& values);
    QVariant value(const QString& key) const;
    bool hasValue(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void removeValue(const QString& key);

    QUrl documentURL() const;
    // Announces "documentURL" and "lastPathComponent".
    void setDocumentURL(const QUrl& url);
    QString xmlString() const;
    // NUL characters, which no XML holds, are stored as replacement characters.
    void setXmlString(const QString& text);

    // The parsed document, parsing the text (read from documentURL when there is no
    // text yet) on first use: strictly first, then, when that fails and the damage is
    // local, repairing the text. Null when there is no text or no parse gives a document.
    std::shared_ptr<platform::XmlDocument> xmlDoc();
    // Why the text gave no document (parsing it first when it was not yet): the strict
    // parse's error, when that failed and the damage was beyond repair. Null when the
    // document was parsed, or when there is no text.
    platform::Error parseError();
    // Why the text had to be repaired to give its document (parsing it first when it
    // was not yet): the strict parse's error, when that failed and the repairing parse
    // gave the document. Null when the text parsed strictly, or gave no document.
    platform::Error repairError();
    void setXmlDoc(std::shared_ptr<platform::XmlDocument> document);

    QString name() const;
    QString type() const;
    QString versionXML() const;
    QString lastPathComponent() const;
    static double versionMinimum() { return 1.0; }
    static double versionMaximum() { return 1.99; }
    // A document version as a number: the number its text begins with; 0 when there is
    // none or it is not finite, so that it reads as too old ("1.0.5" reads 1.0).
    static double versionNumber(const QVariant& version);

    QVariant valueForKey(const QString& key) const override;

    // Reads a document file as text, detecting its encoding; null text with `error`
    // set when it cannot be read.
    static QString readDocumentText(const QUrl& url, platform::Error* error);

    QStringList archiveClassHierarchy() const override;
    // Writes the value map, the URL and the text. Values that cannot be archived
    // (images decoded while rendering and the like) are logged and left out of the
    // archive; the document itself keeps them.
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

protected:
    // How many child elements of one name one element of this kind of document may
    // hold; a text past it is refused while it is parsed (0: no bound).
    virtual int maximumSameNamedSiblings() const { return 0; }
    // Fills this document from the keys encodeWithCoder wrote.
    void decodeFromCoder(platform::KeyedUnarchiver& coder);
    // Takes the XML text from `object` as initWithObject describes; false when none results.
    bool readObject(const QVariant& object);

private:
    static QUrl urlForObject(const QVariant& object);
    std::shared_ptr<platform::XmlDocument> parseOnce();

    mutable std::mutex m_mutex; // guards the fields below
    QVariantMap m_valuesDict;
    QUrl m_documentURL;
    QString m_xmlString;
    std::shared_ptr<platform::XmlDocument> m_xmlDoc;
    platform::Error m_parseError;
    platform::Error m_repairError;
    bool m_parsed = false;
    std::mutex m_parseMutex; // one parse at a time, made once
};

template <class T>
std::shared_ptr<T> KOVA_XML_object::instanceWithXMLObject(const QVariant& object)
{
    const QUrl url = urlForObject(object);
    if (!url.isEmpty())
        return initWithObject<T>(url);
    if (object.typeId() == QMetaType::QByteArray)
        return initWithObject<T>(object);
    return nullptr;
}

template <class T>
std::shared_ptr<T> KOVA_XML_object::initWithObject(const QVariant& object)
{
    auto document = std::make_shared<T>();
    if (!document->readObject(object))
        return nullptr;
    return document;
}

#include "template/KOVA_XML_object.h"

#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/StringValues.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cmath>

namespace {

const QString ValuesDictKey = QStringLiteral("self.valuesDict");
const QString DocumentURLKey = QStringLiteral("self.documentURL");
const QString XmlStringKey = QStringLiteral("self.xmlString");

// The encoding a byte order mark, or the shape of the first character, names.
std::optional<QStringConverter::Encoding> encodingFromByteOrder(const QByteArray& bytes)
{
    if (auto encoding = QStringConverter::encodingForData(bytes))
        return encoding;
    if (bytes.size() >= 2 && bytes.at(0) == '<' && bytes.at(1) == '\0')
        return QStringConverter::Utf16LE;
    if (bytes.size() >= 2 && bytes.at(0) == '\0' && bytes.at(1) == '<')
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

// The encoding an XML declaration names, when it is one Qt can decode.
QStringDecoder decoderFromDeclaration(const QByteArray& bytes)
{
    static const QRegularExpression declaration(QStringLiteral(R"(^\s*<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._-]+)["'])"));
    const auto match = declaration.match(QString::fromLatin1(bytes.left(256)));
    if (!match.hasMatch())
        return {};
    return QStringDecoder(match.captured(1).toLatin1().constData());
}

// Decodes a document file: a byte order mark wins, then UTF-8 when the bytes are
// valid UTF-8, then the encoding the declaration names, and Latin-1 last, which
// keeps every byte rather than failing.
QString decodeDocumentBytes(const QByteArray& bytes)
{
    if (const auto encoding = encodingFromByteOrder(bytes)) {
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder declared = decoderFromDeclaration(bytes);
    if (declared.isValid()) {
        text = declared.decode(bytes);
        if (!declared.hasError())
            return text;
    }
    return QString::fromLatin1(bytes);
}

} // namespace

QString stringForBOOL(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

KOVA_XML_object::KOVA_XML_object() = default;

KOVA_XML_object::~KOVA_XML_object()
{
    endOwnedObservations();
}

QUrl KOVA_XML_object::urlForObject(const QVariant& object)
{
    if (object.typeId() == QMetaType::QUrl)
        return object.toUrl();
    if (object.typeId() == QMetaType::QString && !object.toString().isEmpty())
        return QUrl::fromLocalFile(object.toString());
    return {};
}

bool KOVA_XML_object::readObject(const QVariant& object)
{
    QString text;
    switch (object.typeId()) {
    case QMetaType::QString:
        text = object.toString();
        break;
    case QMetaType::QUrl: {
        setDocumentURL(object.toUrl());
        platform::Error error;
        text = readDocumentText(object.toUrl(), &error);
        if (text.isNull())
            platform::Log::error(error.description());
        break;
    }
    case QMetaType::QByteArray: {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(object.toByteArray());
        if (utf8.hasError())
            text = QString();
        break;
    }
    default:
        break;
    }
    if (text.isEmpty())
        return false;
    setXmlString(text);
    return true;
}

QString KOVA_XML_object::readDocumentText(const QUrl& url, platform::Error* error)
{
    const std::optional<QByteArray> bytes = platform::BoundedFileRead::contents(url.toLocalFile(), MaximumFileSize, error);
    if (!bytes)
        return {};
    QString text = decodeDocumentBytes(*bytes);
    if (text.isNull())
        text = QLatin1String(""); // an empty file is read, not failed
    return text;
}

QVariantMap KOVA_XML_object::valuesDict() const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict;
}

void KOVA_XML_object::setValuesDict(const QVariantMap& values)
{
    std::lock_guard lock(m_mutex);
    m_valuesDict = values;
}

QVariant KOVA_XML_object::value(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict.value(key);
}

bool KOVA_XML_object::hasValue(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_valuesDict.contains(key);
}

void KOVA_XML_object::setValue(const QString& key, const QVariant& value)
{
    std::lock_guard lock(m_mutex);
    if (value.isValid())
        m_valuesDict.insert(key, value);
    else
        m_valuesDict.remove(key);
}

void KOVA_XML_object::removeValue(const QString& key)
{
    std::lock_guard lock(m_mutex);
    m_valuesDict.remove(key);
}

QUrl KOVA_XML_object::documentURL() const
{
    std::lock_guard lock(m_mutex);
    return m_documentURL;
}

void KOVA_XML_object::setDocumentURL(const QUrl& url)
{
    willChangeValueForKey(QStringLiteral("documentURL"));
    willChangeValueForKey(QStringLiteral("lastPathComponent"));
    {
        std::lock_guard lock(m_mutex);
        m_documentURL = url;
    }
    didChangeValueForKey(QStringLiteral("lastPathComponent"));
    didChangeValueForKey(QStringLiteral("documentURL"));
}

QString KOVA_XML_object::xmlString() const
{
    std::lock_guard lock(m_mutex);
    return m_xmlString;
}

void KOVA_XML_object::setXmlString(const QString& text)
{
    // No XML can hold a NUL character, and an archive cannot either: one found in a
    // damaged file is kept as a replacement character so the document can still be
    // archived, and so copied.
    QString stored = text;
    stored.replace(QChar(0), QChar(QChar::ReplacementCharacter));
    std::lock_guard lock(m_mutex);
    m_xmlString = stored;
}

std::shared_ptr<platform::XmlDocument> KOVA_XML_object::xmlDoc()
{
    std::lock_guard parseLock(m_parseMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_parsed)
            return m_xmlDoc;
    }
    auto document = parseOnce();
    std::lock_guard lock(m_mutex);
    if (!m_parsed) { // setXmlDoc may have stored a document meanwhile
        m_xmlDoc = document;
        m_parsed = true;
    }
    return m_xmlDoc;
}

std::shared_ptr<platform::XmlDocument> KOVA_XML_object::parseOnce()
{
    QString text = xmlString();
    if (text.isNull()) {
        const QUrl url = documentURL();
        if (url.isEmpty())
            return nullptr;
        text = readDocumentText(url, nullptr);
        if (text.isEmpty())
            return nullptr;
        setXmlString(text);
    }
    platform::Error error;
    auto document = platform::XmlDocument::parse(text, platform::XmlDocument::PreserveAll, &error,
                                                 maximumSameNamedSiblings());
    if (document)
        return document;
    // One line for a document that does not parse, repaired or not: its file and why.
    platform::Log::log(QStringLiteral("%1 %2").arg(documentURL().toString(), error.description()));
    if (platform::XmlDocument::isRepairable(text, error))
        document = platform::XmlDocument::parse(text, platform::XmlDocument::TidyXML, nullptr, maximumSameNamedSiblings());
    std::lock_guard lock(m_mutex);
    (document ? m_repairError : m_parseError) = error;
    return document;
}

platform::Error KOVA_XML_object::parseError()
{
    xmlDoc();
    std::lock_guard lock(m_mutex);
    return m_parseError;
}

platform::Error KOVA_XML_object::repairError()
{
    xmlDoc();
    std::lock_guard lock(m_mutex);
    return m_repairError;
}

void KOVA_XML_object::setXmlDoc(std::shared_ptr<platform::XmlDocument> document)
{
    std::lock_guard lock(m_mutex);
    m_xmlDoc = std::move(document);
    m_parseError = {};
    m_repairError = {};
    m_parsed = true;
}

QString KOVA_XML_object::name() const
{
    return value(QStringLiteral("name")).toString();
}

QString KOVA_XML_object::type() const
{
    return value(QStringLiteral("type")).toString();
}

double KOVA_XML_object::versionNumber(const QVariant& version)
{
    const double number = platform::StringValues::doubleValue(version);
    return std::isfinite(number) ? number : 0.0;
}

QString KOVA_XML_object::versionXML() const
{
    return value(QStringLiteral("version")).toString();
}

QString KOVA_XML_object::lastPathComponent() const
{
    return QFileInfo(documentURL().path()).fileName();
}

QVariant KOVA_XML_object::valueForKey(const QString& key) const
{
    if (key == QLatin1String("documentURL"))
        return documentURL();
    if (key == QLatin1String("lastPathComponent"))
        return lastPathComponent();
    if (key == QLatin1String("valuesDict"))
        return valuesDict();
    return {};
}

QStringList KOVA_XML_object::archiveClassHierarchy() const
{
    return {ClassName, QStringLiteral("NSObject")};
}

void KOVA_XML_object::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    QVariantMap archived = valuesDict();
    for (auto it = archived.begin(); it != archived.end();) {
        if (platform::KeyedArchiver::supportsSecureCoding(it.value())) {
            ++it;
            continue;
        }
        platform::Log::log(QStringLiteral("found a non-coding object %1 for key %2")
                               .arg(QString::fromLatin1(it.value().typeName()), it.key()));
        it = archived.erase(it);
    }
    coder.encodeObject(archived, ValuesDictKey, platform::KeyedArchiver::Mutability::Mutable);
    coder.encodeObject(documentURL(), DocumentURLKey);
    coder.encodeObject(xmlString(), XmlStringKey);
}

void KOVA_XML_object::decodeFromCoder(platform::KeyedUnarchiver& coder)
{
    namespace Format = platform::KeyedArchiveFormat;
    // Documents nested in the map (layers) are decoded when the unarchiver allows their class.
    setValuesDict(coder.decodeObjectOfClasses(ValuesDictKey, {Format::MutableDictionary, Format::MutableArray,
                                                               Format::Value, Format::URL}).toMap());
    const QUrl url = coder.decodeObjectOfClasses(DocumentURLKey, {Format::URL}).toUrl();
    {
        std::lock_guard lock(m_mutex);
        m_documentURL = url;
        m_xmlString = coder.decodeObject(XmlStringKey).toString();
    }
}

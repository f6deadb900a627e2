#include "template/KOVA_TemplateReader.h"

#include "core/foundation/KOVA_Constants.h"
#include "core/foundation/ZORVAK_Extras_NSURL.h"
#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/files/FolderEntries.h"
#include "platform/files/UTType.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <functional>

using platform::XmlNode;
using platform::XmlNodeKind;

// ---- The node files one load is reading ----

// The chain of files being read by one call, innermost last, and how many it has read.
// Belongs to one call on one thread: no locking.
class KOVA_TemplateReader::Loading {
public:
    // Admits the file into the chain for the scope of one document; a refused file is
    // logged and leaves the chain as it was. A document without a file is admitted
    // untracked (only files can include each other).
    class Entry {
    public:
        Entry(Loading& loading, const QString& file);
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
        bool isAdmitted() const { return m_admitted; }
        // The document the call was made for, as opposed to a node file it includes.
        bool isOutermost() const { return m_loading.m_documents == 1; }

    private:
        Loading& m_loading;
        bool m_admitted = false;
        bool m_tracked = false;
    };

private:
    QStringList m_chain;
    int m_filesRead = 0;
    int m_documents = 0; // being read now, with or without a file
};

KOVA_TemplateReader::Loading::Entry::Entry(Loading& loading, const QString& file)
    : m_loading(loading)
{
    if (file.isEmpty()) {
        m_admitted = true;
        ++loading.m_documents;
        return;
    }
    if (loading.m_chain.contains(file)) {
        platform::Log::log(QStringLiteral("refused to read %1: it includes itself").arg(file));
        return;
    }
    if (loading.m_chain.size() >= MaximumNodeDepth) {
        platform::Log::log(QStringLiteral("refused to read %1: node files nested deeper than %2")
                               .arg(file)
                               .arg(MaximumNodeDepth));
        return;
    }
    if (loading.m_filesRead >= MaximumNodeFiles) {
        platform::Log::log(QStringLiteral("refused to read %1: more than %2 node files in one template")
                               .arg(file)
                               .arg(MaximumNodeFiles));
        return;
    }
    loading.m_chain.append(file);
    ++loading.m_filesRead;
    ++loading.m_documents;
    m_admitted = m_tracked = true;
}

KOVA_TemplateReader::Loading::Entry::~Entry()
{
    if (m_tracked)
        m_loading.m_chain.removeLast();
    if (m_admitted)
        --m_loading.m_documents;
}

namespace {

// ---- Paths ----

// "~" expanded, "." and ".." and doubled separators removed.
QString standardizedPath(const QString& path)
{
    QString expanded = path;
    if (expanded == QLatin1String("~") || expanded.startsWith(QLatin1String("~/")))
        expanded.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(expanded);
}

// Where `path` is looked up inside a folder: a relative path below it, an absolute one
// by its file name. Empty when there is nothing to look up.
QString pathInsideFolder(const QString& folder, const QString& path, Qt::CaseSensitivity cs)
{
    const QString clean = standardizedPath(path);
    const QString relative = QDir::isAbsolutePath(clean) ? QFileInfo(clean).fileName() : clean;
    if (folder.isEmpty() || relative.isEmpty() || relative == QLatin1String("."))
        return {};
    if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../"))) {
        platform::Log::error(QStringLiteral("refused the template path %1: it leads out of the folder %2").arg(path, folder));
        return {};
    }
    if (cs == Qt::CaseSensitive)
        return folder + QLatin1Char('/') + relative;
    return platform::FolderEntries::pathInside(folder, relative);
}

// Only a regular file with contents can hold a template; anything else (a folder, a
// device, a pipe that would block) is not read at all.
bool isCandidateFile(const QUrl& url)
{
    const QFileInfo info(url.toLocalFile());
    return url.isLocalFile() && info.isFile() && info.size() > 0;
}

// The file a document was read from, as one name for each file however it was reached.
QString canonicalFile(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QFileInfo info(url.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// What strict reading said of a document file that gave its document only once repaired.
std::optional<platform::Error> repairedReason(KOVA_XML_object& document)
{
    const platform::Error strict = document.repairError();
    if (strict.isNull() || !document.documentURL().isLocalFile())
        return std::nullopt;
    return platform::Error{strict.domain, strict.code,
                           QStringLiteral("%1 is not well-formed XML: %2")
                               .arg(document.documentURL().toLocalFile(), strict.message)};
}

QString pathDescription(const QVariant& path)
{
    return path.typeId() == QMetaType::QUrl ? path.toUrl().toString() : path.toString();
}

// ---- Node kinds ----

void logUnexpectedKind(const XmlNode& node)
{
    platform::Log::log(QStringLiteral("Found unexpected XML element kind:\n%1").arg(static_cast<unsigned>(node.kind())));
}

// True for an element to read. Comments are passed over silently; any other kind is
// logged, the white space that lays out a pretty-printed file included.
bool isElementToRead(const XmlNode& node)
{
    if (node.kind() == XmlNodeKind::Element)
        return true;
    if (node.kind() != XmlNodeKind::Comment)
        logUnexpectedKind(node);
    return false;
}

bool isNamed(const XmlNode& node, const QString& name)
{
    return node.name().compare(name, Qt::CaseInsensitive) == 0;
}

QString yesNo(const QString& text)
{
    return stringForBOOL(platform::StringValues::boolValue(text));
}

double number(const QString& text)
{
    return platform::StringValues::doubleValue(text);
}

// ---- Attributes of a layer's child elements ----

using AttributeReader = std::function<void(KOVA_Template& layer, const XmlNode& attribute)>;
// Readers by attribute name in lower case.
using AttributeReaders = QHash<QString, AttributeReader>;

AttributeReader textInto(const QString& key)
{
    return [key](KOVA_Template& layer, const XmlNode& attribute) { layer.setValue(key, attribute.stringValue()); };
}

AttributeReader numberInto(const QString& key)
{
    return [key](KOVA_Template& layer, const XmlNode& attribute) {
        layer.setValue(key, number(attribute.stringValue()));
    };
}

AttributeReader yesNoInto(const QString& key)
{
    return [key](KOVA_Template& layer, const XmlNode& attribute) { layer.setValue(key, yesNo(attribute.stringValue())); };
}

// Stored under the attribute's own name as written.
void textUnderOwnName(KOVA_Template& layer, const XmlNode& attribute)
{
    layer.setValue(attribute.name(), attribute.stringValue());
}

void logUnknownAttribute(const XmlNode& element, const XmlNode& attribute)
{
    platform::Log::log(QStringLiteral("encountered unknown %1 attribute: %2").arg(element.name(), attribute.xmlString()));
}

enum class UnknownAttributes { Logged, Ignored };

void readAttributes(KOVA_Template& layer, const XmlNode& element, const AttributeReaders& readers,
                    UnknownAttributes unknown = UnknownAttributes::Logged)
{
    for (const XmlNode& attribute : element.attributes()) {
        const auto reader = readers.constFind(attribute.name().toLower());
        if (reader != readers.cend())
            (*reader)(layer, attribute);
        else if (unknown == UnknownAttributes::Logged)
            logUnknownAttribute(element, attribute);
    }
}

// ---- A layer's child elements ----

void readFilePath(KOVA_Template& layer, const QString& key, const QString& text)
{
    layer.setValue(key, text);
    if (text.compare(KOVA_XML_Key_imageFile, Qt::CaseInsensitive) == 0)
        layer.setValue(KOVA_XML_Key_key, KOVA_XML_Key_image1);
}

enum class FramePart { X, Y, Width, Height };

void replaceFramePart(KOVA_Template& layer, FramePart part, double value)
{
    QRectF frame = layer.frameUnscaled();
    switch (part) {
    case FramePart::X:
        frame.moveLeft(value);
        break;
    case FramePart::Y:
        frame.moveTop(value);
        break;
    case FramePart::Width:
        frame.setWidth(value);
        break;
    case FramePart::Height:
        frame.setHeight(value);
        break;
    }
    layer.setFrame(frame);
}

// A flag element ("shadow", "border", "background") sets its flag from its text; one
// written for its attributes alone has no text and leaves the flag unset, so a colour
// saved without a flag reads back without one.
void readFlagText(KOVA_Template& layer, const QString& key, const QString& text)
{
    if (!text.isEmpty())
        layer.setValue(key, yesNo(text));
}

void readShadowColor(KOVA_Template& layer, const XmlNode& element)
{
    layer.setValue(KOVA_XML_Key_shadowColor, element.stringValue());
    static const AttributeReaders readers{
        {KOVA_XML_Key_optional.toLower(), textInto(KOVA_XML_Key_textShadowOption)},
        {KOVA_XML_Key_shadowBlur.toLower(), numberInto(KOVA_XML_Key_shadowBlur)},
        {KOVA_XML_Key_offset.toLower(), textInto(KOVA_XML_Key_offset)},
    };
    readAttributes(layer, element, readers);
}

void readShadow(KOVA_Template& layer, const XmlNode& element)
{
    static const AttributeReaders readers{
        {KOVA_XML_Key_shadowBlur.toLower(), numberInto(KOVA_XML_Key_shadowBlur)},
        {KOVA_XML_Key_color.toLower(), textInto(KOVA_XML_Key_shadowColor)},
        {KOVA_XML_Key_offset.toLower(), textInto(KOVA_XML_Key_offset)},
    };
    readAttributes(layer, element, readers);
    readFlagText(layer, KOVA_XML_Key_shadowEnabled, element.stringValue());
}

void readFont(KOVA_Template& layer, const XmlNode& element)
{
    // Like the flags, a font element written for its size alone names no font.
    const QString fontName = element.stringValue();
    if (!fontName.isEmpty())
        layer.setValue(KOVA_XML_Key_font, fontName);
    static const AttributeReaders readers{
        {KOVA_XML_Key_name.toLower(), textUnderOwnName},
        {KOVA_XML_Key_size.toLower(), textUnderOwnName},
    };
    readAttributes(layer, element, readers);
}

void readBorderColor(KOVA_Template& layer, const XmlNode& element)
{
    layer.setValue(KOVA_XML_Key_borderColor, element.stringValue());
    static const AttributeReaders readers{
        {KOVA_XML_Key_width.toLower(), numberInto(KOVA_XML_Key_borderWidth)},
        {KOVA_XML_Key_shadowColor.toLower(), textInto(KOVA_XML_Key_borderShadowColor)},
        {KOVA_XML_Key_shadowBlur.toLower(), textInto(KOVA_XML_Key_borderShadowBlur)},
        {KOVA_XML_Key_borderClipsContent.toLower(), textInto(KOVA_XML_Key_borderClipsContent)},
    };
    readAttributes(layer, element, readers);
}

void readBorder(KOVA_Template& layer, const XmlNode& element)
{
    // The border's shadow colour and blur are read here too: the writer puts them on
    // this element, and dropping them would lose them at every save.
    static const AttributeReaders readers{
        {KOVA_XML_Key_width.toLower(), numberInto(KOVA_XML_Key_borderWidth)},
        {KOVA_XML_Key_color.toLower(), textInto(KOVA_XML_Key_borderColor)},
        {KOVA_XML_Key_borderClipsContent.toLower(), yesNoInto(KOVA_XML_Key_borderClipsContent)},
        {KOVA_XML_Key_shadowColor.toLower(), textInto(KOVA_XML_Key_borderShadowColor)},
        {KOVA_XML_Key_shadowBlur.toLower(), textInto(KOVA_XML_Key_borderShadowBlur)},
    };
    readAttributes(layer, element, readers);
    readFlagText(layer, KOVA_XML_Key_borderEnabled, element.stringValue());
}

void readBackground(KOVA_Template& layer, const XmlNode& element)
{
    static const AttributeReaders readers{
        {KOVA_XML_Key_color.toLower(), textInto(KOVA_XML_Key_backgroundColor)},
    };
    readAttributes(layer, element, readers);
    readFlagText(layer, KOVA_XML_Key_backgroundEnabled, element.stringValue());
}

void readCropRect(KOVA_Template& layer, const XmlNode& element)
{
    layer.setValue(KOVA_XML_Key_croprect, element.stringValue());
    static const AttributeReaders readers{{KOVA_XML_Key_normal.toLower(), textInto(KOVA_XML_Key_normal)}};
    readAttributes(layer, element, readers);
}

void readTextColor(KOVA_Template& layer, const XmlNode& element)
{
    layer.setValue(KOVA_XML_Key_textColor, element.stringValue());
    static const AttributeReaders readers{{KOVA_XML_Key_optional.toLower(), textInto(KOVA_XML_Key_textColorOption)}};
    readAttributes(layer, element, readers, UnknownAttributes::Ignored);
}

void readString(KOVA_Template& layer, const XmlNode& element)
{
    const QString text = element.stringValue();
    layer.setValue(KOVA_XML_Key_string, text);
    if (layer.isTypeStamp())
        layer.setValue(KOVA_XML_Key_stampFormat, text);
}

// The older form of a stamp's kind: also its key when it has none yet.
void readStampType(KOVA_Template& layer, const XmlNode& element)
{
    const QString text = element.stringValue();
    layer.setValue(KOVA_XML_Key_stamp, text);
    if (!layer.hasValue(KOVA_XML_Key_key))
        layer.setValue(KOVA_XML_Key_key, text);
}

using ElementReader = std::function<void(KOVA_Template& layer, const XmlNode& element)>;

ElementReader elementTextInto(const QString& key)
{
    return [key](KOVA_Template& layer, const XmlNode& element) { layer.setValue(key, element.stringValue()); };
}

ElementReader framePartFrom(FramePart part)
{
    return [part](KOVA_Template& layer, const XmlNode& element) {
        replaceFramePart(layer, part, number(element.stringValue()));
    };
}

// Readers of a layer's child elements by name in lower case; other elements are ignored.
const QHash<QString, ElementReader>& layerChildReaders()
{
    static const QHash<QString, ElementReader> readers{
        {KOVA_XML_Key_filepath.toLower(),
         [](KOVA_Template& layer, const XmlNode& element) {
             readFilePath(layer, KOVA_XML_Key_filepath, element.stringValue());
         }},
        {KOVA_XML_Key_filename.toLower(),
         [](KOVA_Template& layer, const XmlNode& element) {
             readFilePath(layer, KOVA_XML_Key_filename, element.stringValue());
         }},
        {KOVA_XML_Key_type.toLower(), readStampType},
        {KOVA_XML_Key_hideExtension.toLower(), elementTextInto(KOVA_XML_Key_hideExtension)},
        {KOVA_XML_Key_key.toLower(), elementTextInto(KOVA_XML_Key_key)},
        {KOVA_XML_Key_layerGravity.toLower(), elementTextInto(KOVA_XML_Key_layerGravity)},
        {KOVA_XML_Key_croprect.toLower(), readCropRect},
        {KOVA_XML_Key_layerOriginX.toLower(), framePartFrom(FramePart::X)},
        {KOVA_XML_Key_layerOriginY.toLower(), framePartFrom(FramePart::Y)},
        {KOVA_XML_Key_layerWidth.toLower(), framePartFrom(FramePart::Width)},
        {KOVA_XML_Key_layerHeight.toLower(), framePartFrom(FramePart::Height)},
        {KOVA_XML_Key_textAlignment.toLower(), elementTextInto(KOVA_XML_Key_textAlignment)},
        {KOVA_XML_Key_textOverflowX.toLower(), elementTextInto(KOVA_XML_Key_textOverflowX)},
        {KOVA_XML_Key_textOverflowY.toLower(), elementTextInto(KOVA_XML_Key_textOverflowY)},
        {KOVA_XML_Key_string.toLower(), readString},
        {KOVA_XML_Key_rotation.toLower(), elementTextInto(KOVA_XML_Key_rotation)},
        {KOVA_XML_Key_textColor.toLower(), readTextColor},
        {KOVA_XML_Key_textShadow.toLower(), readShadowColor},
        {KOVA_XML_Key_shadowColor.toLower(), readShadowColor},
        {KOVA_XML_Key_shadow.toLower(), readShadow},
        {KOVA_XML_Key_font.toLower(), readFont},
        {KOVA_XML_Key_borderColor.toLower(), readBorderColor},
        {KOVA_XML_Key_border.toLower(), readBorder},
        {KOVA_XML_Key_background.toLower(), readBackground},
    };
    return readers;
}

void readLayerChild(KOVA_Template& layer, const XmlNode& child)
{
    if (!isElementToRead(child))
        return;
    const auto reader = layerChildReaders().constFind(child.name().toLower());
    if (reader != layerChildReaders().cend())
        (*reader)(layer, child);
}

// ---- A layer's own attributes ----

void readLayerType(KOVA_Template& layer, const XmlNode& attribute, const XmlNode& element)
{
    const QString text = attribute.stringValue();
    if (text.compare(KOVA_XML_Key_layerTypeEditText, Qt::CaseInsensitive) != 0) {
        layer.setValue(KOVA_XML_Key_layerType, text);
        return;
    }
    // The older editable text box is a stamp keyed by its type, numbered by its children.
    layer.setValue(KOVA_XML_Key_layerType, KOVA_XML_Key_layerTypeStamp);
    layer.setValue(KOVA_XML_Key_key, text);
    for (const XmlNode& number : element.elementsForName(KOVA_XML_Key_stringNumber, Qt::CaseInsensitive))
        layer.setValue(KOVA_XML_Key_stamp, number.stringValue());
}

void readLayerFrame(KOVA_Template& layer, const QString& text)
{
    const QRectF frame = platform::GeometryText::rectFromString(text);
    if (frame.width() != 0 && frame.height() != 0)
        layer.setFrame(frame);
}

void readLayerAttribute(KOVA_Template& layer, const XmlNode& attribute, const XmlNode& element)
{
    const QString name = attribute.name().toLower();
    const QString text = attribute.stringValue();
    if (name == KOVA_XML_Key_layerType)
        readLayerType(layer, attribute, element);
    else if (name == KOVA_XML_Key_key)
        layer.setValue(KOVA_XML_Key_key, text);
    else if (name == KOVA_XML_Key_layerZ)
        layer.setZLevelString(text);
    else if (name == KOVA_XML_Key_frame)
        readLayerFrame(layer, text);
    else if (name == KOVA_XML_Key_backgroundColor)
        layer.setValue(KOVA_XML_Key_backgroundColor, text);
    else if (name == KOVA_XML_Key_layerGravity)
        layer.setValue(KOVA_XML_Key_layerGravity, text);
    else {
        logUnknownAttribute(element, attribute);
        platform::Log::log(QStringLiteral("encountered unknown layer attribute: %1").arg(attribute.xmlString()));
    }
}

void setSize(KOVA_Template& object, const QSizeF& size)
{
    object.setWidth(size.width());
    object.setHeight(size.height());
}

} // namespace

// ---- Finding files ----

KOVA_Template::Pointer KOVA_TemplateReader::templateWithPath(const QVariant& path, bool isNode,
                                                             const QUrl& jobContainer)
{
    Loading loading;
    return templateWithPath(path, isNode, jobContainer, loading);
}

KOVA_Template::Pointer KOVA_TemplateReader::templateWithPath(const QVariant& path, bool isNode,
                                                             const QUrl& jobContainer, Loading& loading)
{
    const KOVA_Template::Pointer document = findDocument(path, isNode, jobContainer);
    if (!document) {
        platform::Log::log(QStringLiteral("failed to read %1 at path %2")
                               .arg(isNode ? QStringLiteral("node") : QStringLiteral("template"), pathDescription(path)));
        return nullptr;
    }
    return readDocument(document, jobContainer, loading);
}

KOVA_Template::Pointer KOVA_TemplateReader::findDocument(const QVariant& path, bool isNode, const QUrl& jobContainer)
{
    for (const QUrl& url : candidateURLs(path, isNode, jobContainer)) {
        if (!isCandidateFile(url))
            continue;
        if (auto document = KOVA_XML_object::instanceWithXMLObject<KOVA_Template>(url))
            return document;
    }
    return nullptr;
}

QList<QUrl> KOVA_TemplateReader::candidateURLs(const QVariant& path, bool isNode, const QUrl& jobContainer)
{
    QList<QUrl> urls;
    const auto add = [&urls](const QString& file) {
        const QUrl url = QUrl::fromLocalFile(file);
        if (!file.isEmpty() && !urls.contains(url))
            urls.append(url);
    };
    QString text;
    if (path.typeId() == QMetaType::QString) {
        // A relative path is looked up in the folders below only, never against the
        // process's working folder.
        text = path.toString();
        for (const QString& given : {text, standardizedPath(text)})
            if (QDir::isAbsolutePath(given))
                add(given);
    } else if (path.typeId() == QMetaType::QUrl && path.toUrl().isLocalFile()) {
        text = path.toUrl().toLocalFile();
        add(text);
    }
    if (text.isEmpty())
        return urls;
    if (jobContainer.isLocalFile()) {
        const QString container = jobContainer.toLocalFile();
        const QString folder
            = platform::FolderEntries::entryPath(container, isNode ? QStringLiteral("Nodes") : QStringLiteral("Templates"));
        add(pathInsideFolder(folder, text, Qt::CaseInsensitive));
        add(pathInsideFolder(container, text, Qt::CaseInsensitive));
    }
    const QUrl configured = platform::UserDefaults::standardUserDefaults()->URLForKey(
        isNode ? key_kovaFolderNodes : key_kovaFolderTemplates);
    if (configured.isLocalFile())
        add(pathInsideFolder(configured.toLocalFile(), text, Qt::CaseSensitive));
    return urls;
}

// ---- Reading documents ----

KOVA_Template::Pointer KOVA_TemplateReader::templateFromDocument(const KOVA_Template::Pointer& document,
                                                                 const QUrl& jobContainer)
{
    if (!document)
        return nullptr;
    Loading loading;
    return readDocument(document, jobContainer, loading);
}

KOVA_Template::Pointer KOVA_TemplateReader::readDocument(const KOVA_Template::Pointer& document,
                                                         const QUrl& jobContainer, Loading& loading)
{
    const Loading::Entry entry(loading, canonicalFile(document->documentURL()));
    if (!entry.isAdmitted())
        return nullptr;
    document->setValue(KOVA_XML_Key_type, KOVA_Template::ClassName);
    KOVA_Template::Pointer result = document;
    const auto xml = document->xmlDoc();
    const XmlNode root = xml ? xml->rootElement() : XmlNode();
    for (const XmlNode& attribute : root.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_version))
            document->setValue(KOVA_XML_Key_version, attribute.stringValue());
    }
    for (const XmlNode& child : root.children()) {
        if (!isElementToRead(child) || KOVA_Template::containerKeyForNode(child).isNull())
            continue;
        const KOVA_Template::Pointer container = buildFromNode(child, jobContainer, loading);
        if (result->hasValue(KOVA_XML_Key_version))
            container->setValue(KOVA_XML_Key_version, result->value(KOVA_XML_Key_version));
        container->setDocumentURL(result->documentURL());
        result = container;
    }
    if (result != document)
        result->setRepairedReason(repairedReason(*document));
    // Only what the caller holds is compared for unsaved changes; the node files it
    // includes are layers of it.
    if (entry.isOutermost())
        result->setLastSaved(result->copy());
    return result;
}

KOVA_Template::Pointer KOVA_TemplateReader::initWithNode(const XmlNode& node, const QUrl& jobContainer)
{
    Loading loading;
    return buildFromNode(node, jobContainer, loading);
}

KOVA_Template::Pointer KOVA_TemplateReader::buildFromNode(const XmlNode& node, const QUrl& jobContainer,
                                                          Loading& loading)
{
    auto object = std::make_shared<KOVA_Template>();
    if (node.kind() == XmlNodeKind::Comment)
        return object;
    if (node.kind() != XmlNodeKind::Element) {
        logUnexpectedKind(node);
        return object;
    }
    if (!KOVA_Template::containerKeyForNode(node).isNull()) {
        readContainer(*object, node, jobContainer, loading);
    } else if (isNamed(node, KOVA_XML_Key_canvas)) {
        readCanvas(*object, node);
    } else if (isNamed(node, KOVA_XML_Key_layer)) {
        return readLayer(node, jobContainer, loading);
    } else {
        platform::Log::log(QStringLiteral("-+-+-+-+-+-+ adding unknown XML %1").arg(node.xmlString()));
        object->setValue(node.name(), node.stringValue());
    }
    return object;
}

// ---- Containers and canvases ----

void KOVA_TemplateReader::readContainer(KOVA_Template& container, const XmlNode& element, const QUrl& jobContainer,
                                        Loading& loading)
{
    QString name;
    for (const XmlNode& attribute : element.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_name) || isNamed(attribute, KOVA_XML_Key_id)
            || isNamed(attribute, KOVA_XML_Key_key))
            name = attribute.stringValue();
        else if (isNamed(attribute, KOVA_XML_Key_size))
            setSize(container, platform::GeometryText::sizeFromString(attribute.stringValue()));
    }
    container.setValue(KOVA_XML_Key_name, name.isNull() ? KOVA_Template::containerKeyForNode(element) : name);
    container.setValue(KOVA_XML_Key_type, KOVA_XML_Key_layerTypeContainer);
    for (const XmlNode& child : element.children())
        readContainerChild(container, child, jobContainer, loading);
    container.sortLayers();
}

void KOVA_TemplateReader::readContainerChild(KOVA_Template& container, const XmlNode& child,
                                             const QUrl& jobContainer, Loading& loading)
{
    if (!isElementToRead(child))
        return;
    if (isNamed(child, KOVA_XML_Key_layer)) {
        const KOVA_Template::Pointer layer = buildFromNode(child, jobContainer, loading);
        if (!layer) {
            platform::Log::log(QStringLiteral("failed to init a layer for %1").arg(child.xmlString()));
            return;
        }
        layer->setParent(container.sharedTemplate());
        container.appendLayerUnannounced(layer);
    } else if (isNamed(child, KOVA_XML_Key_width)) {
        container.setWidth(number(child.stringValue()));
    } else if (isNamed(child, KOVA_XML_Key_height)) {
        container.setHeight(number(child.stringValue()));
    } else {
        container.setValue(child.name(), child.stringValue());
    }
}

void KOVA_TemplateReader::readCanvas(KOVA_Template& canvas, const XmlNode& element)
{
    canvas.setValue(KOVA_XML_Key_type, KOVA_XML_Key_layerTypeCanvas);
    for (const XmlNode& attribute : element.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_size))
            setSize(canvas, platform::GeometryText::sizeFromString(attribute.stringValue()));
        else if (isNamed(attribute, KOVA_XML_Key_width))
            canvas.setWidth(number(attribute.stringValue()));
        else if (isNamed(attribute, KOVA_XML_Key_height))
            canvas.setHeight(number(attribute.stringValue()));
    }
    for (const XmlNode& node : element.elementsForName(KOVA_XML_Key_node, Qt::CaseInsensitive)) {
        const QString frame = node.attributeForName(KOVA_XML_Key_frame, Qt::CaseInsensitive).stringValue();
        if (!frame.isEmpty())
            canvas.setFrame(platform::GeometryText::rectFromString(frame));
    }
}

// ---- Layers ----

KOVA_Template::Pointer KOVA_TemplateReader::readLayer(const XmlNode& element, const QUrl& jobContainer,
                                                      Loading& loading)
{
    auto layer = std::make_shared<KOVA_Template>();
    for (const XmlNode& attribute : element.attributes())
        readLayerAttribute(*layer, attribute, element);
    for (const XmlNode& child : element.children())
        readLayerChild(*layer, child);
    return substitutedNode(layer, jobContainer, loading);
}

KOVA_Template::Pointer KOVA_TemplateReader::substitutedNode(const KOVA_Template::Pointer& layer,
                                                            const QUrl& jobContainer, Loading& loading)
{
    const QString path = layer->graphicPath();
    if (!layer->isTypeNode() || path.isNull())
        return layer;
    const KOVA_Template::Pointer node = templateWithPath(path, true, jobContainer, loading);
    if (!node)
        return layer;
    node->setValue(KOVA_XML_Key_filepath, path);
    // Placed where the layer was; a layer without a frame leaves the node its own size.
    for (const QString& key : {KOVA_XML_Key_frame, KOVA_XML_Key_layerZ, KOVA_XML_Key_key}) {
        if (layer->hasValue(key))
            node->setValue(key, layer->value(key));
    }
    return node;
}

// ---- The templates folder ----

void KOVA_TemplateReader::setCurrentTemplatesFolder(const QUrl& folder)
{
    const auto defaults = platform::UserDefaults::standardUserDefaults();
    defaults->setURL(folder, key_kovaFolderTemplates);
    QString parent = QFileInfo(QDir::cleanPath(folder.toLocalFile())).path();
    while (parent.size() > 1) {
        const QUrl nodes = QUrl::fromLocalFile(parent + QStringLiteral("/Nodes"));
        if (ZORVAK_Extras_NSURL::conformsToUTType(nodes, platform::kUTTypeFolder)) {
            defaults->setURL(nodes, key_kovaFolderNodes);
            return;
        }
        parent = QFileInfo(parent).path();
    }
}

QUrl KOVA_TemplateReader::currentTemplatesFolder()
{
    return platform::UserDefaults::standardUserDefaults()->URLForKey(key_kovaFolderTemplates);
}

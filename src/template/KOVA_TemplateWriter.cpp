#include "template/KOVA_TemplateWriter.h"

#include "platform/Log.h"
#include "platform/files/FileOperations.h"
#include "platform/text/GeometryText.h"
#include "platform/text/StringValues.h"
#include "platform/xml/XmlDocument.h"
#include "platform/xml/XmlNode.h"
#include "template/KOVA_XML_Keys.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>

using platform::XmlNode;

namespace {

const QString SaveOperationName = QStringLiteral("-[KOVA_Template filePath:saveChanges:]");
const QString OlderFormatBackupSuffix = QStringLiteral(".oldKOVA.xml");

// Children written for their attributes alone, without text, when their own value is
// absent: a shadow, border or background colour without its flag, a font size without a
// font name. The reader then sets no flag and no font from them.
const QStringList& childrenWrittenForAttributes()
{
    static const QStringList keys{KOVA_XML_Key_font, KOVA_XML_Key_shadowEnabled, KOVA_XML_Key_borderEnabled,
                                  KOVA_XML_Key_backgroundEnabled};
    return keys;
}

// A stored value as the file writes it: texts as they are, numbers in decimal. Anything
// else has no text form: logged, and written as the empty text.
QString textForValue(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (platform::StringValues::isInteger(value))
        return QString::number(value.toLongLong());
    if (platform::StringValues::isNumber(value))
        return platform::GeometryText::stringFromNumber(value.toDouble());
    platform::Log::log(QStringLiteral("ERROR! non-string value:%1 %2")
                           .arg(QString::fromLatin1(value.typeName()), KOVA_Template::descriptionForObject(value)));
    return QLatin1String("");
}

bool hasAnyValue(const KOVA_Template& layer, const QStringList& keys)
{
    return std::any_of(keys.cbegin(), keys.cend(), [&layer](const QString& key) { return layer.hasValue(key); });
}

bool isChildWritten(const KOVA_Template& layer, const QString& childKey)
{
    return layer.hasValue(childKey)
        || (childrenWrittenForAttributes().contains(childKey)
            && hasAnyValue(layer, KOVA_TemplateWriter::attributesForChild(childKey)));
}

// "frame.xml" is kept as "frame.oldKOVA.xml" beside it.
QString olderFormatBackupPath(const QFileInfo& file)
{
    const QString name = file.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return file.path() + QLatin1Char('/') + base + OlderFormatBackupSuffix;
}

// No URL, or one naming the same file as `file`, saves to the template's own file.
bool isSameFile(const QUrl& url, const QUrl& file)
{
    if (url.isEmpty() || url == file)
        return true;
    return url.isLocalFile() && file.isLocalFile()
        && QDir::cleanPath(url.toLocalFile()) == QDir::cleanPath(file.toLocalFile());
}

void reportFailure(const platform::Error& error, const KOVA_Template::SaveReply& reply)
{
    if (reply)
        reply(QUrl(), error);
    else
        platform::Log::log(QStringLiteral("%1:%2").arg(SaveOperationName, error.description()));
}

} // namespace

// ---- Saving ----

void KOVA_TemplateWriter::save(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply)
{
    save(templ, url, reply, WriteMode::IfChanged);
}

void KOVA_TemplateWriter::saveAs(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply)
{
    save(templ, url, reply, isSameFile(url, templ.documentURL()) ? WriteMode::IfChanged : WriteMode::AsTemplateFile);
}

void KOVA_TemplateWriter::save(KOVA_Template& templ, const QUrl& url, const KOVA_Template::SaveReply& reply,
                               WriteMode mode)
{
    if (mode == WriteMode::IfChanged && !templ.hasUnsavedChanges()) {
        if (reply)
            reply(templ.documentURL(), std::nullopt);
        return;
    }
    const QUrl target = url.isEmpty() ? templ.documentURL() : url;
    if (!target.isLocalFile()) {
        reportFailure({platform::Error::URLDomain, -1, QStringLiteral("No filepathURL specified")}, reply);
        return;
    }
    if (const auto unread = unreadFileRefusal(templ, target)) {
        reportFailure(*unread, reply);
        return;
    }
    if (const auto error = write(templ, target)) {
        reportFailure(*error, reply);
        return;
    }
    templ.setLastSaved(templ.copy());
    if (mode == WriteMode::AsTemplateFile)
        templ.setDocumentURL(target);
    // The template's file now holds what it shows, whatever reading it had to repair.
    if (isSameFile(target, templ.documentURL()))
        templ.setRepairedReason(std::nullopt);
    if (reply)
        reply(target, std::nullopt);
}

// A file that gave no template is never written over by the bare document read from it:
// that would replace whatever the file holds with an empty template.
std::optional<platform::Error> KOVA_TemplateWriter::unreadFileRefusal(KOVA_Template& templ, const QUrl& target)
{
    if (!isSameFile(target, templ.documentURL()))
        return std::nullopt;
    const auto reason = templ.unreadableReason();
    if (!reason)
        return std::nullopt;
    return platform::Error{reason->domain, reason->code,
                           QStringLiteral("%1 was not read as a template and is not written over: %2")
                               .arg(target.toLocalFile(), reason->message)};
}

std::optional<platform::Error> KOVA_TemplateWriter::write(const KOVA_Template& templ, const QUrl& target)
{
    keepOlderFormatBackup(templ, target);
    platform::Error error;
    if (!platform::FileOperations::writeFileAtomically(target.toLocalFile(), documentData(templ), &error))
        return error;
    return std::nullopt;
}

// A template without a version, or older than 1.0, was read from a file of the older
// form: that file is kept under a backup name before it is replaced. The first backup
// stays, since the move never replaces anything.
void KOVA_TemplateWriter::keepOlderFormatBackup(const KOVA_Template& templ, const QUrl& target)
{
    if (platform::StringValues::doubleValue(templ.value(KOVA_XML_Key_version)) >= 1.0)
        return;
    const QFileInfo file(target.toLocalFile());
    if (file.isFile() && file.isReadable())
        platform::FileOperations::moveItemNoReplace(file.filePath(), olderFormatBackupPath(file));
}

// ---- The file form ----

QByteArray KOVA_TemplateWriter::documentData(const KOVA_Template& templ)
{
    XmlNode root = XmlNode::element(KOVA_XML_Key_data);
    root.setAttribute(KOVA_XML_Key_type, KOVA_Template::ClassName);
    root.setAttribute(KOVA_XML_Key_version, KOVA_Template::xmlVersionString());
    root.addChild(layoutElement(templ));
    const auto document = platform::XmlDocument::create(root);
    document->setVersion(QStringLiteral("1.0"));
    document->setCharacterEncoding(QStringLiteral("UTF-8"));
    document->setStandalone(true);
    return document->xmlData(platform::XmlFormatting::PrettyPrint);
}

XmlNode KOVA_TemplateWriter::layoutElement(const KOVA_Template& templ)
{
    XmlNode layout = XmlNode::element(KOVA_XML_Key_layout);
    layout.setAttribute(KOVA_XML_Key_size, platform::GeometryText::stringFromSize(templ.frameUnscaled().size()));
    // The name the file was read with (its "name", "id" or "key") is kept; the element's
    // own name, which the reader gives when there is none, needs no attribute.
    const QString name = templ.value(KOVA_XML_Key_name).toString();
    if (!name.isEmpty() && name != KOVA_XML_Key_layout)
        layout.setAttribute(KOVA_XML_Key_name, name);
    for (const auto& [key, value] : layoutChildValues(templ))
        layout.addChild(XmlNode::element(key, value));
    for (const KOVA_Template::Pointer& layer : templ.layers())
        layout.addChild(layerElement(*layer));
    return layout;
}

// The reader keeps the text of every child of a layout other than its layers, width and
// height under the child's own name (the page's "backgroundEnabled" and "backgroundcolor"
// among them): each such text value goes back as that child. What the layout writes in
// other forms (its size, name, layers, the document's type and version) does not, nor a
// value without a text form or under a name no element can carry.
QList<std::pair<QString, QString>> KOVA_TemplateWriter::layoutChildValues(const KOVA_Template& templ)
{
    static const QStringList writtenOtherwise{KOVA_XML_Key_frame, KOVA_XML_Key_name, KOVA_XML_Key_type,
                                              KOVA_XML_Key_version, KOVA_XML_Key_layersArray,
                                              KOVA_XML_Key_width, KOVA_XML_Key_height};
    static const QRegularExpression elementName(QStringLiteral("^[A-Za-z_][A-Za-z0-9._-]*$"));
    QList<std::pair<QString, QString>> children;
    const QVariantMap values = templ.valuesDict();
    for (auto entry = values.cbegin(); entry != values.cend(); ++entry) {
        const bool hasText = entry->typeId() == QMetaType::QString || platform::StringValues::isNumber(*entry);
        if (hasText && !writtenOtherwise.contains(entry.key()) && elementName.match(entry.key()).hasMatch())
            children.append({entry.key(), textForValue(*entry)});
    }
    return children;
}

XmlNode KOVA_TemplateWriter::layerElement(const KOVA_Template& layer)
{
    XmlNode element = XmlNode::element(KOVA_XML_Key_layer);
    if (layer.hasValue(KOVA_XML_Key_layerType)) {
        const auto [name, value] = KOVA_Template::xmlAttributeTranslatedName(
            KOVA_XML_Key_layerType, textForValue(layer.value(KOVA_XML_Key_layerType)));
        element.setAttribute(name, value);
    }
    element.setAttribute(KOVA_XML_Key_frame, platform::GeometryText::stringFromRect(layer.frameUnscaled()));
    element.setAttribute(KOVA_XML_Key_layerZ, layer.zLevelString());
    for (const QString& childKey : layer.availableChildren()) {
        if (isChildWritten(layer, childKey))
            element.addChild(childElement(layer, childKey));
    }
    return element;
}

XmlNode KOVA_TemplateWriter::childElement(const KOVA_Template& layer, const QString& childKey)
{
    XmlNode child = XmlNode::element(translatedChildName(childKey));
    for (const QString& attributeKey : attributesForChild(childKey)) {
        if (layer.hasValue(attributeKey))
            child.setAttribute(translatedAttributeName(attributeKey), textForValue(layer.value(attributeKey)));
    }
    if (layer.hasValue(childKey))
        child.setStringValue(textForValue(layer.value(childKey)));
    return child;
}

// ---- Vocabulary of the writer ----

QStringList KOVA_TemplateWriter::availableChildren(unsigned layerType)
{
    // Besides the flags, a picture keeps a background and the path read from "filename",
    // a text or stamp layer its stamp number ("stamp", written as the older "type" child
    // after its key, so reading it back leaves the key alone).
    static const QStringList pictures{
        KOVA_XML_Key_key,           KOVA_XML_Key_filepath,      KOVA_XML_Key_filename,
        KOVA_XML_Key_layerGravity,  KOVA_XML_Key_croprect,      KOVA_XML_Key_shadowEnabled,
        KOVA_XML_Key_borderEnabled, KOVA_XML_Key_backgroundEnabled, KOVA_XML_Key_rotation,
    };
    static const QStringList texts{
        KOVA_XML_Key_key,           KOVA_XML_Key_stamp,         KOVA_XML_Key_string,
        KOVA_XML_Key_font,          KOVA_XML_Key_textAlignment, KOVA_XML_Key_textColor,
        KOVA_XML_Key_backgroundEnabled, KOVA_XML_Key_shadowEnabled, KOVA_XML_Key_borderEnabled,
        KOVA_XML_Key_hideExtension, KOVA_XML_Key_rotation,
    };
    switch (layerType) {
    case KOVA_Template::layerTypeContainer:
    case KOVA_Template::layerTypeImage:
    case KOVA_Template::layerTypeGraphic:
        return pictures;
    case KOVA_Template::layerTypeTextbox:
    case KOVA_Template::layerTypeStamp:
        return texts;
    default:
        return {};
    }
}

QStringList KOVA_TemplateWriter::attributesForChild(const QString& childKey)
{
    static const QHash<QString, QStringList> attributes{
        {KOVA_XML_Key_font, {KOVA_XML_Key_size, KOVA_XML_Key_name}},
        {KOVA_XML_Key_borderColor,
         {KOVA_XML_Key_borderWidth, KOVA_XML_Key_borderClipsContent, KOVA_XML_Key_borderShadowColor,
          KOVA_XML_Key_borderShadowBlur}},
        {KOVA_XML_Key_borderEnabled,
         {KOVA_XML_Key_borderClipsContent, KOVA_XML_Key_borderColor, KOVA_XML_Key_borderWidth,
          KOVA_XML_Key_borderShadowColor, KOVA_XML_Key_borderShadowBlur}},
        {KOVA_XML_Key_shadowColor, {KOVA_XML_Key_offset, KOVA_XML_Key_shadowBlur}},
        {KOVA_XML_Key_shadowEnabled, {KOVA_XML_Key_shadowBlur, KOVA_XML_Key_shadowColor, KOVA_XML_Key_offset}},
        {KOVA_XML_Key_backgroundEnabled, {KOVA_XML_Key_backgroundColor}},
        {KOVA_XML_Key_croprect, {KOVA_XML_Key_normal}},
    };
    return attributes.value(childKey);
}

QString KOVA_TemplateWriter::translatedChildName(const QString& key)
{
    static const QHash<QString, QString> names{
        {KOVA_XML_Key_backgroundEnabled, KOVA_XML_Key_background},
        {KOVA_XML_Key_borderEnabled, KOVA_XML_Key_border},
        {KOVA_XML_Key_shadowEnabled, KOVA_XML_Key_shadow},
        {KOVA_XML_Key_stamp, KOVA_XML_Key_type},
    };
    return names.value(key, key);
}

QString KOVA_TemplateWriter::translatedAttributeName(const QString& key)
{
    static const QHash<QString, QString> names{
        {KOVA_XML_Key_borderWidth, KOVA_XML_Key_width},
        {KOVA_XML_Key_borderShadowColor, KOVA_XML_Key_shadowColor},
        {KOVA_XML_Key_borderShadowBlur, KOVA_XML_Key_shadowBlur},
        {KOVA_XML_Key_borderColor, KOVA_XML_Key_color},
        {KOVA_XML_Key_borderEnabled, KOVA_XML_Key_enabled},
        {KOVA_XML_Key_shadowColor, KOVA_XML_Key_color},
        {KOVA_XML_Key_shadowEnabled, KOVA_XML_Key_enabled},
        {KOVA_XML_Key_backgroundColor, KOVA_XML_Key_color},
        {KOVA_XML_Key_backgroundEnabled, KOVA_XML_Key_enabled},
    };
    return names.value(key, key);
}

QString KOVA_TemplateWriter::translatedAttributeValue(const QString& value)
{
    return value == KOVA_XML_Key_layerTypeContainer ? KOVA_XML_Key_node : value;
}

// ---- The reference element ----

QString KOVA_TemplateWriter::xmlElementName()
{
    return KOVA_XML_Key_template;
}

QList<std::pair<QString, QString>> KOVA_TemplateWriter::xmlElementAttributes(const KOVA_Template& templ)
{
    return {{KOVA_XML_Key_id, templ.name()}};
}

QList<XmlNode> KOVA_TemplateWriter::xmlElementChildren(const KOVA_Template& templ)
{
    if (templ.documentURL().isEmpty())
        return {};
    return {XmlNode::element(KOVA_XML_Key_filepath, templ.lastPathComponent())};
}

XmlNode KOVA_TemplateWriter::asXMLElement(const KOVA_Template& templ)
{
    XmlNode element = XmlNode::element(xmlElementName());
    for (const auto& [name, value] : xmlElementAttributes(templ))
        element.setAttribute(name, value);
    for (const XmlNode& child : xmlElementChildren(templ))
        element.addChild(child);
    return element;
}

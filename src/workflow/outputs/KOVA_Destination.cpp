#include "workflow/outputs/KOVA_Destination.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/text/StringValues.h"
#include "template/KOVA_Template.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/outputs/OutputArchiveValues.h"
#include "workflow/packages/OutputElementReading.h"

#include <algorithm>
#include <optional>

using platform::XmlNode;

namespace {

const QString ValuesDictKey = QStringLiteral("self.valuesDict");
const QString KindKey = QStringLiteral("self.kind");
const QString UnknownKindText = QStringLiteral("unknown");

// The settings a destination element's children carry, in the order their names are compared.
// A child is stored under the key's own spelling whatever case the file uses.
const QStringList SettingKeys{
    KOVA_XML_Key_filepath, KOVA_XML_Key_filename, KOVA_XML_Key_oldKOVA_saveOriginal, KOVA_XML_Key_resize,
    KOVA_XML_Key_limitSize, KOVA_XML_Key_printer, KOVA_XML_Key_mediaType, KOVA_XML_Key_cutInHalf,
    KOVA_XML_Key_upload, KOVA_XML_Key_model, KOVA_XML_Key_queue, KOVA_XML_Key_copies,
    KOVA_XML_Key_papersize, KOVA_XML_Key_layerGravity, KOVA_XML_Key_itemPath,
};

// The kind a "type" attribute names; none for any other text.
std::optional<KOVA_Destination::Kind> kindForText(const QString& text)
{
    if (text.compare(KOVA_XML_Key_filepath, Qt::CaseInsensitive) == 0)
        return KOVA_Destination::Kind::Filepath;
    if (text.compare(KOVA_XML_Key_printer, Qt::CaseInsensitive) == 0)
        return KOVA_Destination::Kind::Printer;
    return std::nullopt;
}

QString textForKind(KOVA_Destination::Kind kind)
{
    switch (kind) {
    case KOVA_Destination::Kind::Filepath:
        return KOVA_XML_Key_filepath;
    case KOVA_Destination::Kind::Printer:
        return KOVA_XML_Key_printer;
    case KOVA_Destination::Kind::Unset:
        break;
    }
    return UnknownKindText;
}

// An archived kind outside the known ones is a destination of no kind, skipped by delivery.
KOVA_Destination::Kind kindForNumber(qint64 number)
{
    switch (number) {
    case qint64(KOVA_Destination::Kind::Filepath):
        return KOVA_Destination::Kind::Filepath;
    case qint64(KOVA_Destination::Kind::Printer):
        return KOVA_Destination::Kind::Printer;
    default:
        return KOVA_Destination::Kind::Unset;
    }
}

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass({KOVA_Destination::ClassName, QStringLiteral("NSObject")},
                                             &KOVA_Destination::initWithCoder);
    return true;
}();

} // namespace

KOVA_Destination::KOVA_Destination(const XmlNode& node)
{
    for (const XmlNode& attribute : OutputElementReading::attributes(node))
        readAttribute(attribute);
    for (const XmlNode& child : OutputElementReading::childElements(node))
        readChild(child, node);
}

void KOVA_Destination::readAttribute(const XmlNode& attribute)
{
    if (OutputElementReading::isNamed(attribute, KOVA_XML_Key_type))
        m_kind = kindForText(attribute.stringValue()).value_or(m_kind);
    else if (OutputElementReading::isNamed(attribute, KOVA_XML_Key_name))
        m_valuesDict.insert(KOVA_XML_Key_queue, attribute.stringValue());
}

void KOVA_Destination::readChild(const XmlNode& child, const XmlNode& element)
{
    const auto key = std::find_if(SettingKeys.cbegin(), SettingKeys.cend(),
                                  [&child](const QString& name) { return OutputElementReading::isNamed(child, name); });
    if (key == SettingKeys.cend())
        OutputElementReading::logUnexpectedElement(child, element);
    else
        m_valuesDict.insert(*key, child.stringValue());
}

std::shared_ptr<KOVA_Destination> KOVA_Destination::initWithFilepath(const QString& filepath)
{
    auto destination = std::make_shared<KOVA_Destination>();
    destination->m_kind = Kind::Filepath;
    destination->m_valuesDict.insert(KOVA_XML_Key_filepath, filepath);
    return destination;
}

std::shared_ptr<KOVA_Destination> KOVA_Destination::initWithPrinterModel(const QString& model)
{
    auto destination = std::make_shared<KOVA_Destination>();
    destination->m_kind = Kind::Printer;
    destination->m_valuesDict.insert(KOVA_XML_Key_model, model);
    return destination;
}

KOVA_Destination::Kind KOVA_Destination::kind() const
{
    const std::lock_guard lock(m_mutex);
    return m_kind;
}

void KOVA_Destination::setKind(Kind kind)
{
    const std::lock_guard lock(m_mutex);
    m_kind = kind;
}

QVariantMap KOVA_Destination::valuesDict() const
{
    const std::lock_guard lock(m_mutex);
    return m_valuesDict;
}

void KOVA_Destination::setValuesDict(const QVariantMap& values)
{
    const std::lock_guard lock(m_mutex);
    m_valuesDict = values;
}

QString KOVA_Destination::text(const QString& key) const
{
    const std::lock_guard lock(m_mutex);
    return m_valuesDict.value(key).toString();
}

bool KOVA_Destination::flag(const QString& key) const
{
    return platform::StringValues::boolValue(text(key));
}

qint64 KOVA_Destination::integer(const QString& key) const
{
    return platform::StringValues::integerValue(text(key));
}

QString KOVA_Destination::filepath() const { return text(KOVA_XML_Key_filepath); }
QString KOVA_Destination::filename() const { return text(KOVA_XML_Key_filename); }
bool KOVA_Destination::saveOriginal() const { return flag(KOVA_XML_Key_oldKOVA_saveOriginal); }
bool KOVA_Destination::resize() const { return flag(KOVA_XML_Key_resize); }
qint64 KOVA_Destination::limitSize() const { return integer(KOVA_XML_Key_limitSize); }
QString KOVA_Destination::uploadSite() const { return text(KOVA_XML_Key_upload); }
QString KOVA_Destination::printToFileSetPathIndex() const { return text(KOVA_XML_Key_itemPath); }
qint64 KOVA_Destination::printer() const { return integer(KOVA_XML_Key_printer); }
qint64 KOVA_Destination::mediaType() const { return integer(KOVA_XML_Key_mediaType); }
qint64 KOVA_Destination::cutInHalf() const { return integer(KOVA_XML_Key_cutInHalf); }
qint64 KOVA_Destination::copies() const { return integer(KOVA_XML_Key_copies); }
QString KOVA_Destination::printerModel() const { return text(KOVA_XML_Key_model); }
QString KOVA_Destination::printerQueue() const { return text(KOVA_XML_Key_queue); }
QString KOVA_Destination::printerPaperSize() const { return text(KOVA_XML_Key_papersize); }
QString KOVA_Destination::gravity() const { return KOVA_Template::normalizedGravity(text(KOVA_XML_Key_layerGravity)); }
QString KOVA_Destination::destinationLabel() const { return text(KOVA_XML_Key_destinationLabel); }

XmlNode KOVA_Destination::asXMLElement() const
{
    XmlNode element = XmlNode::element(KOVA_XML_Key_destination);
    element.setAttribute(KOVA_XML_Key_type, textForKind(kind()));
    const QVariantMap values = valuesDict();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const XmlNode child = XmlNode::element(it.key(), it.value().toString());
        if (child.isNull())
            platform::Log::error(QStringLiteral("destination setting \"%1\" is no XML name; not written").arg(it.key()));
        else
            element.addChild(child);
    }
    return element;
}

QString KOVA_Destination::description() const
{
    switch (kind()) {
    case Kind::Printer:
        return QStringLiteral("%1(%2){queue:%3;model:%4;papersize:%5;copies:%6;}")
            .arg(ClassName, KOVA_XML_Key_printer, printerQueue(), printerModel(), printerPaperSize(), QString::number(copies()));
    case Kind::Filepath:
        return QStringLiteral("%1(%2):%3").arg(ClassName, KOVA_XML_Key_filepath, filepath());
    case Kind::Unset:
        break;
    }
    return {};
}

QStringList KOVA_Destination::archiveClassHierarchy() const
{
    return {ClassName, QStringLiteral("NSObject")};
}

void KOVA_Destination::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    const std::lock_guard lock(m_mutex);
    coder.encodeObject(m_valuesDict, ValuesDictKey, platform::KeyedArchiver::Mutability::Mutable);
    coder.encodeInteger(qint64(m_kind), KindKey);
}

std::shared_ptr<platform::Archivable> KOVA_Destination::initWithCoder(platform::KeyedUnarchiver& coder)
{
    auto destination = std::make_shared<KOVA_Destination>();
    destination->m_valuesDict = OutputArchiveValues::decodeTextMap(coder, ValuesDictKey, ClassName);
    destination->m_kind = kindForNumber(coder.decodeInteger(KindKey));
    if (coder.hasError())
        return nullptr;
    return destination;
}

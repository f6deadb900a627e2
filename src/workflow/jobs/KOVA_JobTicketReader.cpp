#include "workflow/jobs/KOVA_JobTicketReader.h"

#include "platform/Log.h"
#include "platform/defaults/UserDefaults.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/jobs/KOVA_JobBundle.h"
#include "workflow/jobs/KOVA_JobPackage.h"

#include <algorithm>
#include <iterator>

using platform::XmlNode;
using platform::XmlNodeKind;

namespace {

const QString wrenlowFields[] = {KOVA_XML_Key_printID, KOVA_XML_Key_PLU, KOVA_XML_Key_imagePath,
                                 KOVA_XML_Key_quantity, KOVA_XML_Key_ipAddress};

bool isNamed(const XmlNode& node, const QString& name)
{
    return node.name().compare(name, Qt::CaseInsensitive) == 0;
}

bool isWrenlowField(const XmlNode& element)
{
    return std::any_of(std::begin(wrenlowFields), std::end(wrenlowFields),
                       [&](const QString& field) { return isNamed(element, field); });
}

// The element children of `parent`; comments are skipped, other kinds logged.
QList<XmlNode> elementChildren(const XmlNode& parent)
{
    QList<XmlNode> elements;
    for (const XmlNode& child : parent.children()) {
        const XmlNodeKind kind = child.kind();
        if (kind == XmlNodeKind::Element)
            elements.append(child);
        else if (kind != XmlNodeKind::Comment)
            platform::Log::log(QStringLiteral("Found unexpected XML element kind:\n%1").arg(static_cast<unsigned>(kind)));
    }
    return elements;
}

// target[group][name] = value, the group made on first use.
void setGroupEntry(QVariantMap& target, const QString& group, const QString& name, const QVariant& value)
{
    QVariantMap entries = target.value(group).toMap();
    entries.insert(name, value);
    target.insert(group, entries);
}

platform::Error missingFieldError(const QString& field)
{
    return {platform::Error::POSIXDomain, -3, QStringLiteral("Error parsing job; no %1").arg(field)};
}

} // namespace

void KOVA_JobTicketReader::storeRootAttributes(QVariantMap& values, const XmlNode& root)
{
    for (const XmlNode& attribute : root.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_type))
            values.insert(KOVA_XML_Key_type, attribute.stringValue());
        else if (isNamed(attribute, KOVA_XML_Key_version))
            values.insert(KOVA_XML_Key_version, attribute.stringValue());
        else
            platform::Log::log(QStringLiteral("Found unexpected XML attribute:%1=%2").arg(attribute.name(), attribute.stringValue()));
    }
}

platform::Error KOVA_JobTicketReader::parseXML_kovaVersion1(QVariantMap& values, const XmlNode& root,
                                                            const std::shared_ptr<KOVA_Job>& job)
{
    const QUrl container = job->urlJobContainer();
    QVariantList descriptions;
    for (const XmlNode& child : elementChildren(root)) {
        if (isNamed(child, KOVA_XML_Key_package)) {
            QVariantMap description = packageDescription(child, job);
            if (description.isEmpty())
                continue;
            if (!container.isEmpty())
                description.insert(KOVA_XML_Key_job, container);
            descriptions.append(description);
        } else if (isNamed(child, KOVA_XML_Key_allImages)) {
            values.insert(KOVA_XML_Key_allImages, imageList(child));
        } else {
            buildDictionary(values, child);
        }
    }
    values.insert(KOVA_XML_Key_package, descriptions);
    return {};
}

platform::Error KOVA_JobTicketReader::parseXML_wrenlowVersion1(QVariantMap& values, const XmlNode& root)
{
    for (const XmlNode& child : elementChildren(root)) {
        if (isWrenlowField(child))
            values.insert(child.name().toLower(), child.stringValue());
        else if (isNamed(child, KOVA_XML_Key_allImages))
            values.insert(KOVA_XML_Key_allImages, imageList(child));
        else
            buildDictionary(values, child);
    }
    for (const QString& field : {KOVA_XML_Key_PLU, KOVA_XML_Key_imagePath}) {
        if (values.value(field).toString().isEmpty())
            return missingFieldError(field);
    }
    applySearchFolder(values);
    values.insert(KOVA_XML_Key_type, wrenlowType);
    const QVariantMap replacements{{KOVA_XML_Key_image1, values.value(KOVA_XML_Key_imagePath)}};
    const QVariantMap description{{KOVA_XML_Key_name, values.value(KOVA_XML_Key_PLU)}, {KOVA_XML_Key_key, replacements}};
    values.insert(KOVA_XML_Key_package, QVariantList{description});
    return {};
}

void KOVA_JobTicketReader::buildDictionary(QVariantMap& target, const XmlNode& element)
{
    QVariantMap replacements = target.value(KOVA_XML_Key_key).toMap();
    const qsizetype childCount = element.childCount();
    if (childCount > 1)
        applyExpandedValue(target, replacements, element);
    else if (childCount == 1 && !element.name().isEmpty() && !element.stringValue().isEmpty())
        applyCompactValue(target, replacements, element);
    else
        platform::Log::log(QStringLiteral("unrecognized element %1 : %2").arg(element.name(), element.stringValue()));
    target.insert(KOVA_XML_Key_key, replacements);
}

void KOVA_JobTicketReader::applyCompactValue(QVariantMap& target, QVariantMap& replacements, const XmlNode& element)
{
    const QString name = element.name();
    for (const XmlNode& attribute : element.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_croprect))
            setGroupEntry(target, KOVA_XML_Key_croprect, name, attribute.stringValue());
    }
    replacements.insert(name, element.stringValue());
}

void KOVA_JobTicketReader::applyExpandedValue(QVariantMap& target, QVariantMap& replacements, const XmlNode& element)
{
    const QString name = element.name();
    for (const XmlNode& child : elementChildren(element)) {
        for (const QString& group : {KOVA_XML_Key_croprect, KOVA_XML_Key_rotation, KOVA_XML_Key_template}) {
            if (isNamed(child, group))
                setGroupEntry(target, group, name, child.stringValue());
        }
        if (isNamed(child, KOVA_XML_Key_filepath))
            replacements.insert(name, child.stringValue());
    }
}

QVariantMap KOVA_JobTicketReader::packageDescription(const XmlNode& element, const std::shared_ptr<KOVA_Job>& job)
{
    QVariantMap description;
    bool isInline = false;
    for (const XmlNode& attribute : element.attributes()) {
        if (isNamed(attribute, KOVA_XML_Key_name) || isNamed(attribute, KOVA_XML_Key_id) || isNamed(attribute, KOVA_XML_Key_key))
            description.insert(KOVA_XML_Key_name, attribute.stringValue());
        else if (isNamed(attribute, KOVA_XML_Key_PLU))
            description.insert(KOVA_XML_Key_PLU, attribute.stringValue());
        else if (isNamed(attribute, KOVA_XML_Key_type))
            isInline = attribute.stringValue().compare(KOVA_XML_Key_inline, Qt::CaseInsensitive) == 0;
        else
            platform::Log::log(QStringLiteral("Found unexpected XML attribute \"%1=%2\" while parsing package")
                                   .arg(attribute.name(), attribute.stringValue()));
    }
    if (isInline) {
        const QString name = description.value(KOVA_XML_Key_name).toString();
        if (const KOVA_JobPackage::Pointer package = KOVA_JobPackage::initWithNode(element, job)) {
            package->setPackageName(name.isEmpty() ? KOVA_XML_Key_inline : name);
            description.insert(KOVA_XML_Key_package, package->archivedValue());
        }
    }
    for (const XmlNode& child : elementChildren(element))
        buildDictionary(description, child);
    return description;
}

QVariantList KOVA_JobTicketReader::imageList(const XmlNode& element)
{
    QVariantList images;
    for (const XmlNode& child : elementChildren(element))
        images.append(child.stringValue());
    return images;
}

QString KOVA_JobTicketReader::wrenlowSearchFolder()
{
    const auto suite = platform::UserDefaults::initWithSuiteName(platform::UserDefaults::javaPreferencesSuite);
    const QVariantMap root = suite->dictionaryForKey(QStringLiteral("/"));
    return root.value(QStringLiteral("Wrenlow/")).toMap().value(QStringLiteral("searchfolder")).toString();
}

void KOVA_JobTicketReader::applySearchFolder(QVariantMap& values)
{
    const QString searchFolder = wrenlowSearchFolder();
    if (searchFolder.isEmpty())
        return;
    const auto inSearchFolder = [&](const QVariant& path) {
        return KOVA_JobBundle::appendingPathComponent(searchFolder, path.toString());
    };
    values.insert(KOVA_XML_Key_imagePath, inSearchFolder(values.value(KOVA_XML_Key_imagePath)));
    QVariantList images = values.value(KOVA_XML_Key_allImages).toList();
    for (QVariant& image : images)
        image = inSearchFolder(image);
    if (!images.isEmpty())
        values.insert(KOVA_XML_Key_allImages, images);
}

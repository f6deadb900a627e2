#include "workflow/jobs/KOVA_JobWriter.h"

#include "platform/Log.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/files/FileOperations.h"
#include "platform/files/StagingItems.h"
#include "platform/text/StringOrder.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/jobs/KOVA_JobBundle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

using platform::XmlNode;

namespace {

// The value maps written with each value, in the order their children are written.
const QString valueGroups[] = {KOVA_XML_Key_croprect, KOVA_XML_Key_rotation, KOVA_XML_Key_template};

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString;
}

QString pathOf(const QString& folder, const QString& name)
{
    return KOVA_JobBundle::appendingPathComponent(folder, name);
}

std::optional<QByteArray> contentsOf(const QString& path, platform::Error* error)
{
    return platform::BoundedFileRead::contents(path, KOVA_JobWriter::MaximumFileSize, error);
}

// Whether the file can be copied: a regular file within the size limit.
bool isCopyable(const QString& path, platform::Error* error)
{
    const platform::BoundedFileRead file(path, KOVA_JobWriter::MaximumFileSize);
    if (!file.isOpen())
        platform::setError(error, file.error());
    return file.isOpen();
}

// A staging folder is private; the bundle it becomes is not.
bool makeReadable(const QString& folder, platform::Error* error)
{
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (QFile::setPermissions(folder, permissions))
        return true;
    platform::setError(error, platform::Error::fromErrno(errno, folder));
    return false;
}

} // namespace

// ---- The ticket ----

QList<XmlNode> KOVA_JobWriter::elementChildren(const KOVA_Job& job)
{
    QList<XmlNode> children = valueElements(job.valuesDict());
    for (const KOVA_JobPackage::Pointer& package : job.packages())
        children.append(package->asXMLElement());
    const QList<QUrl> images = job.images();
    if (!images.isEmpty())
        children.append(imageListElement(images));
    return children;
}

XmlNode KOVA_JobWriter::element(const KOVA_Job& job)
{
    XmlNode element = XmlNode::element(KOVA_Job::xmlElementName());
    for (const auto& [name, value] : job.xmlElementAttributes())
        element.setAttribute(name, value);
    for (const XmlNode& child : elementChildren(job))
        appendChild(element, child, child.name());
    return element;
}

std::shared_ptr<platform::XmlDocument> KOVA_JobWriter::document(const KOVA_Job& job)
{
    XmlNode root = element(job);
    root.setName(KOVA_XML_Key_data);
    auto document = platform::XmlDocument::create(root);
    document->setVersion(KOVA_Job::xmlVersionString());
    document->setCharacterEncoding(QStringLiteral("UTF-8"));
    document->setStandalone(true);
    return document;
}

// One element per replacement value. A value that has a crop rectangle, rotation or
// template is written expanded, so that they are read back with it; such settings of
// a name without a replacement value get an expanded element of their own.
QList<XmlNode> KOVA_JobWriter::valueElements(const QVariantMap& values)
{
    QStringList expandedNames;
    for (const QString& group : valueGroups)
        expandedNames += values.value(group).toMap().keys();
    expandedNames.removeDuplicates();

    QList<XmlNode> elements;
    const QVariantMap replacements = values.value(KOVA_XML_Key_key).toMap();
    for (auto entry = replacements.cbegin(); entry != replacements.cend(); ++entry) {
        const QString& name = entry.key();
        const QVariant& value = entry.value();
        if (isText(value) && expandedNames.removeOne(name))
            elements.append(expandedElement(name, value, values));
        else if (isText(value))
            elements.append(textElement(name, value.toString()));
        else if (value.typeId() == QMetaType::QVariantMap)
            elements.append(dictionaryElement(name, value.toMap()));
        else
            platform::Log::log(QStringLiteral("need to handle key of type %1").arg(QString::fromUtf8(value.typeName())));
    }
    for (const QString& name : std::as_const(expandedNames))
        elements.append(expandedElement(name, {}, values));
    elements.removeAll(XmlNode());
    return elements;
}

XmlNode KOVA_JobWriter::textElement(const QString& name, const QString& text)
{
    const XmlNode element = XmlNode::element(name, text);
    if (element.isNull())
        platform::Log::error(QStringLiteral("cannot write the value \"%1\": its name is no XML name").arg(name));
    return element;
}

XmlNode KOVA_JobWriter::dictionaryElement(const QString& name, const QVariantMap& entries)
{
    XmlNode element = textElement(name, {});
    for (auto entry = entries.cbegin(); !element.isNull() && entry != entries.cend(); ++entry) {
        if (isText(entry.value()))
            appendChild(element, textElement(entry.key(), entry.value().toString()), entry.key());
    }
    return element;
}

// The value `name` with its "filepath" (when given) and its settings as children.
// Written pretty-printed, the element always holds several child nodes, which is what
// makes the reader take it as expanded.
XmlNode KOVA_JobWriter::expandedElement(const QString& name, const QVariant& filepath, const QVariantMap& values)
{
    XmlNode element = textElement(name, {});
    if (element.isNull())
        return element;
    if (filepath.isValid())
        element.addChild(XmlNode::element(KOVA_XML_Key_filepath, filepath.toString()));
    for (const QString& group : valueGroups) {
        const QVariant setting = values.value(group).toMap().value(name);
        if (setting.isValid())
            element.addChild(XmlNode::element(group, setting.toString()));
    }
    return element;
}

XmlNode KOVA_JobWriter::imageListElement(const QList<QUrl>& images)
{
    QStringList names;
    for (const QUrl& image : images)
        names.append(image.fileName());
    std::sort(names.begin(), names.end(), platform::StringOrder::lessThan);
    XmlNode list = XmlNode::element(KOVA_XML_Key_allImages);
    for (const QString& name : std::as_const(names))
        list.addChild(XmlNode::element(KOVA_XML_Key_filepath, name));
    return list;
}

void KOVA_JobWriter::appendChild(XmlNode& parent, const XmlNode& child, const QString& name)
{
    if (!child.isNull() && !parent.addChild(child))
        platform::Log::error(QStringLiteral("cannot write the element \"%1\"").arg(name));
}

// ---- The bundle ----

bool KOVA_JobWriter::writeBundle(const KOVA_Job& job, const QUrl& url, platform::Error* error)
{
    if (!url.isLocalFile()) {
        platform::setError(error, {platform::Error::URLDomain, -1, QStringLiteral("No filepathURL specified")});
        return false;
    }
    Files images;
    Files templates;
    if (!collectImages(job, images, error) || !collectTemplates(job, templates, error))
        return false;
    const QByteArray ticket = document(job)->xmlData(platform::XmlFormatting::PrettyPrint);
    const QString target = QDir::cleanPath(url.toLocalFile());
    const QString staging = platform::StagingItems::makeFolder(QFileInfo(target).absolutePath(), error);
    if (staging.isEmpty())
        return false;
    const bool written = writeEntries(staging, ticket, images, templates, error) && makeReadable(staging, error)
        && platform::FileOperations::moveItemNoReplace(staging, target, error);
    if (!written)
        platform::FileOperations::removeItem(staging);
    return written;
}

bool KOVA_JobWriter::collectImages(const KOVA_Job& job, Files& files, platform::Error* error)
{
    const QList<QUrl> images = job.images();
    return std::all_of(images.cbegin(), images.cend(),
                       [&](const QUrl& image) { return addFile(files, image.toLocalFile(), error); });
}

// The templates of every package, then the job's own; only those with a file.
bool KOVA_JobWriter::collectTemplates(const KOVA_Job& job, Files& files, platform::Error* error)
{
    KOVA_Template::List templates;
    for (const KOVA_JobPackage::Pointer& package : job.packages())
        templates += package->kovaNodes().values();
    templates += job.templates();
    for (const KOVA_Template::Pointer& templ : std::as_const(templates)) {
        const QUrl file = templ ? templ->documentURL() : QUrl();
        if (file.isLocalFile() && !addFile(files, file.toLocalFile(), error))
            return false;
    }
    return true;
}

// Adds the file at `path` under its name; fails when it cannot be read, or when the
// name already stands for another file with different bytes.
bool KOVA_JobWriter::addFile(Files& files, const QString& path, platform::Error* error)
{
    const QString name = QFileInfo(path).fileName();
    if (!isCopyable(path, error))
        return false;
    const auto earlier = files.constFind(name);
    if (earlier == files.cend()) {
        files.insert(name, path);
        return true;
    }
    const std::optional<QByteArray> bytes = contentsOf(path, error);
    const std::optional<QByteArray> earlierBytes = bytes ? contentsOf(*earlier, error) : std::nullopt;
    if (!earlierBytes)
        return false;
    if (*earlierBytes == *bytes)
        return true;
    platform::setError(error, {platform::Error::POSIXDomain, EEXIST,
                               QStringLiteral("%1 and %2 are different files of one name").arg(*earlier, path)});
    return false;
}

bool KOVA_JobWriter::writeEntries(const QString& folder, const QByteArray& ticket, const Files& images,
                                  const Files& templates, platform::Error* error)
{
    return platform::FileOperations::writeFileAtomicallyNoReplace(pathOf(folder, KOVA_JobBundle::ticketName), ticket,
                                                                  error)
        && writeFolder(pathOf(folder, imagesFolderName), images, error)
        && writeFolder(pathOf(folder, templatesFolderName), templates, error);
}

// The folder with the files; not made when there are none.
bool KOVA_JobWriter::writeFolder(const QString& folder, const Files& files, platform::Error* error)
{
    if (files.isEmpty())
        return true;
    if (!platform::FileOperations::makeDirectory(folder, false, error))
        return false;
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const std::optional<QByteArray> bytes = contentsOf(file.value(), error);
        if (!bytes || !platform::FileOperations::writeFileAtomicallyNoReplace(pathOf(folder, file.key()), *bytes, error))
            return false;
    }
    return true;
}

#include "workflow/packages/KOVA_Package.h"

#include "core/foundation/ZORVAK_Audit.h"
#include "core/foundation/ZORVAK_SystemInfo.h"
#include "core/queues/ZORVAK_QueuePool.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "template/KOVA_XML_Keys.h"
#include "workflow/jobs/KOVA_Job.h"
#include "workflow/packages/OutputElementReading.h"
#include "workflow/packages/KOVA_PackageLookup.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>

using platform::XmlNode;
using platform::XmlNodeKind;

namespace {

const QString urlJobContainerKey = QStringLiteral("urlJobContainer");
const QString fallbackTemplateName = QStringLiteral("booger");

bool isNamed(const XmlNode& node, const QString& name)
{
    return node.name().compare(name, Qt::CaseInsensitive) == 0;
}

bool isAnyOf(const XmlNode& node, std::initializer_list<QString> names)
{
    return std::any_of(names.begin(), names.end(), [&](const QString& name) { return isNamed(node, name); });
}

platform::Error versionError(const QString& text, const QString& type)
{
    const double version = KOVA_XML_object::versionNumber(text);
    if (version > KOVA_XML_object::versionMaximum())
        return {platform::Error::POSIXDomain, -3, QStringLiteral("file version too new %1 when parsing %2").arg(text, type)};
    if (version < KOVA_XML_object::versionMinimum())
        return {platform::Error::POSIXDomain, -3, QStringLiteral("file version too old %1 when parsing %2").arg(text, type)};
    return {};
}

// The price list is read for its shape only: nothing of it is kept.
void readPriceList(const XmlNode& element)
{
    for (const XmlNode& child : element.children()) {
        if (child.kind() != XmlNodeKind::Element || !isNamed(child, KOVA_XML_Key_priceUnit))
            platform::Log::log(QStringLiteral("error! bad element kind %1 for element %2")
                                   .arg(static_cast<unsigned>(child.kind()))
                                   .arg(child.xmlString()));
    }
}

// The outcome of one run of a package's outputs, written from the output queues.
class RunOutcome {
public:
    void record(bool success, const platform::Error& error)
    {
        std::lock_guard lock(m_mutex);
        m_success = m_success && success;
        if (!error.isNull())
            m_error = error;
    }
    std::pair<bool, platform::Error> result() const
    {
        std::lock_guard lock(m_mutex);
        return {m_success, m_error};
    }

private:
    mutable std::mutex m_mutex;
    bool m_success = true;
    platform::Error m_error;
};

ZORVAK_QueuePool& outputQueuePool()
{
    static ZORVAK_QueuePool pool(2 * ZORVAK_SystemInfo().cpuCountLogical(),
                                 QStringLiteral("com.morvanta.kova.template.rendering."), KOVA_Package::atomicQueue());
    return pool;
}

// Runs the output on the next pool queue inside the group, recording what it reports.
// `prepare` runs first on that queue.
void submitOutput(const KOVA_PackageOutput::Pointer& output, const std::shared_ptr<platform::DispatchGroup>& group,
                  const std::shared_ptr<RunOutcome>& outcome, const std::function<void()>& prepare = {})
{
    group->async(KOVA_Package::outputQueue(), [output, outcome, prepare] {
        if (prepare)
            prepare();
        output->processToCompletion(
            [outcome](bool success, const platform::Error& error) { outcome->record(success, error); });
    });
}

} // namespace

KOVA_Package::KOVA_Package() = default;

KOVA_Package::~KOVA_Package()
{
    ZORVAK_Audit::end(this);
}

KOVA_Package::Pointer KOVA_Package::init()
{
    auto package = std::make_shared<KOVA_Package>();
    package->setValue(KOVA_XML_Key_name, QStringLiteral("inlinePkg"));
    package->setValue(KOVA_XML_Key_type, KOVA_XML_Key_inline);
    return package;
}

KOVA_Package::Pointer KOVA_Package::initWithNode(const XmlNode& node, const std::shared_ptr<KOVA_Job>& job)
{
    auto package = std::make_shared<KOVA_Package>();
    package->setJob(job);
    const platform::Error refusal = package->parseXMLNode(node);
    if (refusal.isNull())
        return package;
    platform::Log::error(refusal.message);
    return nullptr;
}

KOVA_Package::Pointer KOVA_Package::packageWithDictionary(const QVariantMap& description)
{
    if (auto inlinePackage = platform::Archivable::fromVariant<KOVA_Package>(description.value(KOVA_XML_Key_package)))
        return inlinePackage;
    return KOVA_PackageLookup(description).find();
}

void KOVA_Package::install()
{
    KOVA_JobPackage::install(
        [](const XmlNode& node, const std::shared_ptr<KOVA_Job>& job) -> KOVA_JobPackage::Pointer { return initWithNode(node, job); },
        [](const QVariantMap& description) -> KOVA_JobPackage::Pointer { return packageWithDictionary(description); });
}

// ---- Reading ----

void KOVA_Package::parseXML(const ParseCallback& callback)
{
    const auto document = xmlDoc();
    if (!document)
        return; // the base has logged why; nothing was read
    const XmlNode root = document->rootElement();
    bool stop = false;
    if (const platform::Error error = readRootAttributes(root); !error.isNull()) {
        if (callback) {
            stop = true;
            callback({}, error, stop);
        } else if (error.code == -3) {
            platform::Log::log(error.description());
        }
        return;
    }
    if (callback) {
        callback(valuesDict(), {}, stop);
        if (stop)
            return;
    }
    const platform::Error refusal = parseXMLNode(root);
    if (callback) {
        stop = false;
        callback(valuesDict(), refusal, stop);
    } else if (!refusal.isNull()) {
        platform::Log::error(refusal.message);
    }
}

platform::Error KOVA_Package::readRootAttributes(const XmlNode& root)
{
    for (const XmlNode& attribute : root.attributes()) {
        const QString text = attribute.stringValue();
        if (isNamed(attribute, KOVA_XML_Key_type)) {
            setValue(KOVA_XML_Key_type, ClassName);
            if (text.compare(ClassName, Qt::CaseInsensitive) != 0)
                return {platform::Error::POSIXDomain, -2,
                        QStringLiteral("encountered incorrect file type %1 when parsing %2").arg(text, ClassName)};
        } else if (isNamed(attribute, KOVA_XML_Key_version)) {
            setValue(KOVA_XML_Key_version, text);
            if (platform::Error error = versionError(text, type()); !error.isNull())
                return error;
        } else if (isNamed(attribute, KOVA_XML_Key_name)) {
            setValue(KOVA_XML_Key_name, text);
        } else if (isNamed(attribute, KOVA_XML_Key_PLU)) {
            setValue(KOVA_XML_Key_PLU, text);
        } else {
            platform::Log::log(QStringLiteral("Found unexpected XML attribute:%1=%2").arg(attribute.name(), text));
        }
    }
    return {};
}

platform::Error KOVA_Package::parseXMLNode(const XmlNode& element)
{
    {
        std::lock_guard lock(m_packageMutex);
        m_outputs.clear();
    }
    Outputs outputs;
    for (const XmlNode& child : element.children()) {
        if (child.kind() != XmlNodeKind::Element) {
            if (child.kind() != XmlNodeKind::Comment)
                platform::Log::log(QStringLiteral("Found unexpected XML element kind:\n%1").arg(static_cast<unsigned>(child.kind())));
        } else if (const platform::Error refusal = readBodyElement(child, outputs); !refusal.isNull()) {
            return refusal;
        }
    }
    addOutputs(outputs);
    return {};
}

platform::Error KOVA_Package::readBodyElement(const XmlNode& element, Outputs& outputs)
{
    if (isAnyOf(element, {KOVA_XML_Key_PLU, KOVA_XML_Key_productID, KOVA_XML_Key_name, KOVA_XML_Key_icon})) {
        setValue(element.name().toLower(), element.stringValue());
    } else if (isNamed(element, KOVA_XML_Key_priceList)) {
        readPriceList(element);
    } else if (isNamed(element, KOVA_XML_Key_template)) {
        readTemplateElement(element);
    } else if (isAnyOf(element, {KOVA_XML_Key_layout, KOVA_XML_Key_portrait, KOVA_XML_Key_landscape, KOVA_XML_Key_square})) {
        readTemplateInPlace(element);
    } else if (isNamed(element, KOVA_XML_Key_output)) {
        if (outputs.size() == MaximumOutputs)
            return OutputElementReading::limitPassed(QStringLiteral("the package \"%1\"").arg(documentName()),
                                                     QStringLiteral("outputs"), MaximumOutputs);
        platform::Error refusal;
        const auto output = KOVA_PackageOutput::initWithNode(element, &refusal);
        if (!output)
            return refusal;
        output->setPackage(sharedPackage());
        outputs.append(output);
    }
    return {};
}

// A template given by file: named by its "name", "id" or "key" attribute (the last
// one wins), loaded from each "filepath" or "filename" child in turn.
void KOVA_Package::readTemplateElement(const XmlNode& element)
{
    QString name;
    for (const XmlNode& attribute : element.attributes()) {
        if (isAnyOf(attribute, {KOVA_XML_Key_name, KOVA_XML_Key_id, KOVA_XML_Key_key}))
            name = attribute.stringValue();
    }
    for (const XmlNode& child : element.children()) {
        if (child.kind() != XmlNodeKind::Element || !isAnyOf(child, {KOVA_XML_Key_filepath, KOVA_XML_Key_filename}))
            continue;
        const auto node = KOVA_Template::templateWithPath(child.stringValue(), urlJobContainer());
        if (!node)
            continue;
        // A file found that does not parse is no template: outputs that name it fail,
        // saying which file it was, rather than drawing a blank picture.
        if (const platform::Error error = node->parseError(); !error.isNull())
            setUnreadableTemplate(name, node->documentURL(), error);
        else
            setNode(name, node);
    }
}

void KOVA_Package::setUnreadableTemplate(const QString& name, const QUrl& file, const platform::Error& parseError)
{
    const platform::Error error{platform::Error::CocoaDomain, 1,
                                QStringLiteral("template %1 could not be read from %2: %3")
                                    .arg(name, file.toLocalFile(), parseError.message)};
    std::lock_guard lock(m_packageMutex);
    m_nodes.remove(name);
    m_unreadableTemplates.insert(name, error);
}

void KOVA_Package::readTemplateInPlace(const XmlNode& element)
{
    if (auto node = KOVA_Template::initWithNode(element, urlJobContainer()))
        setNode(node->name(), node);
}

void KOVA_Package::setNode(const QString& name, const KOVA_Template::Pointer& node)
{
    std::lock_guard lock(m_packageMutex);
    m_unreadableTemplates.remove(name);
    m_nodes.insert(name, node);
}

QMap<QString, platform::Error> KOVA_Package::unreadableTemplates() const
{
    std::lock_guard lock(m_packageMutex);
    return m_unreadableTemplates;
}

// ---- Values ----

QString KOVA_Package::packageName() const
{
    return name();
}

void KOVA_Package::setPackageName(const QString& name)
{
    setValue(KOVA_XML_Key_name, name);
}

QString KOVA_Package::pluCode() const
{
    return value(KOVA_XML_Key_PLU).toString();
}

QString KOVA_Package::documentName() const
{
    const QUrl document = documentURL();
    return document.isEmpty() ? displayName() : document.toLocalFile();
}

QString KOVA_Package::displayName() const
{
    const QString own = name();
    return own.isEmpty() ? pluCode() : own;
}

std::shared_ptr<KOVA_TemplateJob> KOVA_Package::job() const
{
    return owningJob();
}

QUrl KOVA_Package::urlJobContainer() const
{
    const QUrl container = value(urlJobContainerKey).toUrl();
    if (!container.isEmpty())
        return container;
    const auto job = owningJob();
    return job ? job->urlJobContainer() : QUrl();
}

std::shared_ptr<KOVA_Job> KOVA_Package::owningJob() const
{
    std::lock_guard lock(m_packageMutex);
    return m_job.lock();
}

void KOVA_Package::setJob(const std::shared_ptr<KOVA_Job>& job)
{
    std::lock_guard lock(m_packageMutex);
    m_job = job;
}

KOVA_Package::TemplateMap KOVA_Package::kovaNodes() const
{
    std::lock_guard lock(m_packageMutex);
    return m_nodes;
}

KOVA_Package::Outputs KOVA_Package::outputs() const
{
    std::lock_guard lock(m_packageMutex);
    return m_outputs;
}

void KOVA_Package::addTemplates(const KOVA_Template::List& templates)
{
    for (const auto& node : templates) {
        if (!node)
            continue;
        const QString name = node->name();
        setNode(name.isEmpty() ? fallbackTemplateName : name, node);
    }
}

void KOVA_Package::addOutputs(const Outputs& outputs)
{
    Outputs added;
    std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(added), [](const auto& output) { return output != nullptr; });
    if (added.isEmpty())
        return;
    willChangeValueForKey(QStringLiteral("outputs"));
    {
        std::lock_guard lock(m_packageMutex);
        m_outputs += added;
    }
    didChangeValueForKey(QStringLiteral("outputs"));
}

QVariant KOVA_Package::valueForKey(const QString& key) const
{
    if (key == QLatin1String("outputs")) {
        QVariantList list;
        for (const auto& output : outputs())
            list.append(platform::Archivable::toVariant(output));
        return list;
    }
    if (key == QLatin1String("kovaNodes")) {
        QVariantMap map;
        const auto nodes = kovaNodes();
        for (auto it = nodes.begin(); it != nodes.end(); ++it)
            map.insert(it.key(), platform::Archivable::toVariant(it.value()));
        return map;
    }
    return KOVA_XML_object::valueForKey(key);
}

std::shared_ptr<KOVA_Package> KOVA_Package::sharedPackage()
{
    return std::static_pointer_cast<KOVA_Package>(weak_from_this().lock());
}

// ---- Running ----

std::shared_ptr<platform::DispatchQueue> KOVA_Package::atomicQueue()
{
    static const auto queue =
        ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.package"));
    return queue;
}

std::shared_ptr<platform::DispatchQueue> KOVA_Package::outputQueue()
{
    return outputQueuePool().nextQueue();
}

void KOVA_Package::processToCompletion(const Completion& completion)
{
    const auto owner = owningJob();
    const QString label = owner ? owner->destinationLabel() : QString();
    const QVariantList images = owner ? owner->value(KOVA_XML_Key_allImages).toList() : QVariantList();
    const auto group = platform::DispatchGroup::create();
    const auto outcome = std::make_shared<RunOutcome>();
    for (const auto& output : outputs()) {
        if (!label.isEmpty())
            output->setDestinationLabel(label);
        if (!output->allImages()) {
            submitOutput(output, group, outcome, [this, output] { output->setTemplates(kovaNodes()); });
            continue;
        }
        // An all-images output runs as one copy per job image; the output itself never runs.
        for (const QVariant& image : images) {
            output->setTemplates(kovaNodes());
            const auto copy = output->copyForImage(image.toString());
            if (!copy) {
                outcome->record(false, {platform::Error::POSIXDomain, -3,
                                        QStringLiteral("could not copy output %1 for image %2").arg(output->name(), image.toString())});
                continue;
            }
            submitOutput(copy, group, outcome);
        }
    }
    group->wait();
    auto [success, error] = outcome->result();
    if (!success && error.isNull())
        error = {platform::Error::POSIXDomain, -3, QStringLiteral("package %1 failed").arg(displayName())};
    // The caller logs what it is told; a failure nobody is told of is logged here.
    if (completion)
        completion(success, error);
    else if (!success)
        platform::Log::error(error.description());
}

// ---- Writing ----

QList<std::pair<QString, QString>> KOVA_Package::xmlElementAttributes() const
{
    const QString own = name();
    return {{KOVA_XML_Key_type, KOVA_XML_Key_inline}, {KOVA_XML_Key_id, own.isEmpty() ? QStringLiteral("pkg") : own}};
}

QList<XmlNode> KOVA_Package::xmlElementChildren() const
{
    QList<XmlNode> children;
    const auto nodes = kovaNodes();
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        const QUrl file = it.value() ? it.value()->documentURL() : QUrl();
        if (file.isEmpty())
            continue;
        XmlNode element = XmlNode::element(KOVA_XML_Key_template);
        element.setAttribute(KOVA_XML_Key_id, it.key());
        element.addChild(XmlNode::element(KOVA_XML_Key_filepath, QFileInfo(file.path()).fileName()));
        children.append(element);
    }
    for (const auto& output : outputs())
        children.append(output->asXMLElement());
    return children;
}

XmlNode KOVA_Package::asXMLElement()
{
    if (valuesDict().isEmpty()) {
        parseXML([](const QVariantMap&, const platform::Error& error, bool&) {
            if (!error.isNull())
                platform::Log::log(QStringLiteral("%1%2").arg(QLatin1String(Q_FUNC_INFO), error.description()));
        });
    }
    XmlNode element = XmlNode::element(xmlElementName());
    for (const auto& [name, text] : xmlElementAttributes())
        element.setAttribute(name, text);
    for (const XmlNode& child : xmlElementChildren())
        element.addChild(child);
    return element;
}

QVariant KOVA_Package::archivedValue()
{
    return platform::Archivable::toVariant(sharedPackage());
}

QStringList KOVA_Package::archiveClassHierarchy() const
{
    return {ClassName, KOVA_XML_object::ClassName, QStringLiteral("NSObject")};
}

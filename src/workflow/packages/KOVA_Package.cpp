#include "workflow/packages/KOVA_Package.h"

#include "platform/dispatch/DispatchQueue.h"
#include "workflow/jobs/KOVA_Job.h"

// Placeholder bodies: the package model is being built.
KOVA_Package::KOVA_Package() = default;
KOVA_Package::~KOVA_Package() = default;
KOVA_Package::Pointer KOVA_Package::init() { return std::make_shared<KOVA_Package>(); }
KOVA_Package::Pointer KOVA_Package::initWithNode(const platform::XmlNode&, const std::shared_ptr<KOVA_Job>& job)
{
    auto package = init();
    package->setJob(job);
    return package;
}
KOVA_Package::Pointer KOVA_Package::packageWithDictionary(const QVariantMap& description)
{
    return platform::Archivable::fromVariant<KOVA_Package>(description.value(QStringLiteral("package")));
}
void KOVA_Package::parseXML(const ParseCallback&) {}
void KOVA_Package::parseXMLNode(const platform::XmlNode&) {}
QString KOVA_Package::packageName() const { return name(); }
QString KOVA_Package::pluCode() const { return value(QStringLiteral("plucode")).toString(); }
std::shared_ptr<KOVA_TemplateJob> KOVA_Package::job() const { return owningJob(); }
QUrl KOVA_Package::urlJobContainer() const { return value(QStringLiteral("urlJobContainer")).toUrl(); }
std::shared_ptr<KOVA_Job> KOVA_Package::owningJob() const { std::lock_guard lock(m_packageMutex); return m_job.lock(); }
void KOVA_Package::setJob(const std::shared_ptr<KOVA_Job>& job) { std::lock_guard lock(m_packageMutex); m_job = job; }
KOVA_Output::TemplateMap KOVA_Package::kovaNodes() const { std::lock_guard lock(m_packageMutex); return m_nodes; }
KOVA_Output::List KOVA_Package::outputs() const { std::lock_guard lock(m_packageMutex); return m_outputs; }
void KOVA_Package::addTemplates(const KOVA_Template::List&) {}
void KOVA_Package::addOutputs(const KOVA_Output::List&) {}
std::shared_ptr<platform::DispatchQueue> KOVA_Package::outputQueue() { return atomicQueue(); }
std::shared_ptr<platform::DispatchQueue> KOVA_Package::atomicQueue()
{
    static const auto queue = platform::DispatchQueue::createSerial(QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.package"));
    return queue;
}
void KOVA_Package::processToCompletion(const Completion& completion)
{
    if (completion)
        completion(true, {});
}
platform::XmlNode KOVA_Package::asXMLElement() { return platform::XmlNode::element(xmlElementName()); }
QStringList KOVA_Package::archiveClassHierarchy() const { return {ClassName, KOVA_XML_object::ClassName, QStringLiteral("NSObject")}; }

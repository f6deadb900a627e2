#include "workflow/outputs/KOVA_Output.h"

#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "workflow/packages/KOVA_Package.h"

// Placeholder bodies: the output model is being built.
KOVA_Output::KOVA_Output() = default;
KOVA_Output::Pointer KOVA_Output::initWithNode(const platform::XmlNode&) { return std::make_shared<KOVA_Output>(); }
QVariantMap KOVA_Output::valuesDict() const { std::lock_guard lock(m_mutex); return m_valuesDict; }
QString KOVA_Output::name() const { return valuesDict().value(QStringLiteral("name")).toString(); }
double KOVA_Output::width() const { std::lock_guard lock(m_mutex); return m_width; }
double KOVA_Output::height() const { std::lock_guard lock(m_mutex); return m_height; }
QSizeF KOVA_Output::size() const { return {width(), height()}; }
void KOVA_Output::setSize(const QSizeF& size) { std::lock_guard lock(m_mutex); m_width = size.width(); m_height = size.height(); }
QList<std::shared_ptr<KOVA_Output_node>> KOVA_Output::outputNodes() const { std::lock_guard lock(m_mutex); return m_outputNodes; }
QList<std::shared_ptr<KOVA_Destination>> KOVA_Output::destinations() const { std::lock_guard lock(m_mutex); return m_destinations; }
void KOVA_Output::addDestinations(const QList<std::shared_ptr<KOVA_Destination>>& destinations) { std::lock_guard lock(m_mutex); m_destinations += destinations; }
QVariantList KOVA_Output::barcodes() const { std::lock_guard lock(m_mutex); return m_barcodes; }
KOVA_Output::TemplateMap KOVA_Output::templates() const { std::lock_guard lock(m_mutex); return m_templates; }
void KOVA_Output::setTemplates(const TemplateMap& templates) { std::lock_guard lock(m_mutex); m_templates = templates; }
std::shared_ptr<KOVA_Package> KOVA_Output::package() const { std::lock_guard lock(m_mutex); return m_package.lock(); }
void KOVA_Output::setPackage(const std::shared_ptr<KOVA_Package>& package) { std::lock_guard lock(m_mutex); m_package = package; }
QString KOVA_Output::allImagesPath() const { std::lock_guard lock(m_mutex); return m_allImagesPath; }
void KOVA_Output::setAllImagesPath(const QString& path) { std::lock_guard lock(m_mutex); m_allImagesPath = path; }
bool KOVA_Output::allImages() const { return valuesDict().value(QStringLiteral("allimages")).toBool(); }
bool KOVA_Output::isSimpleOutlet() const { return false; }
bool KOVA_Output::ignoresTemplates() const { return true; }
QString KOVA_Output::originalFilePath() const { return allImagesPath(); }
QStringList KOVA_Output::nodeNames() const { return {}; }
KOVA_Output::Pointer KOVA_Output::copy() const { return std::make_shared<KOVA_Output>(); }
void KOVA_Output::processToCompletion(const Completion&) {}
platform::XmlNode KOVA_Output::asXMLElement() const { return platform::XmlNode::element(xmlElementName()); }
QString KOVA_Output::description() const { return ClassName; }
QStringList KOVA_Output::archiveClassHierarchy() const { return {ClassName, QStringLiteral("NSObject")}; }
void KOVA_Output::encodeWithCoder(platform::KeyedArchiver&) const {}
std::shared_ptr<platform::Archivable> KOVA_Output::initWithCoder(platform::KeyedUnarchiver&) { return std::make_shared<KOVA_Output>(); }

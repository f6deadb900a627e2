#include "printing/pages/ZORVAK_PrintPage.h"

#include "core/image/ZORVAK_Image.h"
#include "platform/Log.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/files/BoundedFileRead.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "platform/plist/PropertyList.h"
#include "platform/text/StringValues.h"
#include "printing/pages/PrintPageArchiveValues.h"
#include "printing/pages/PrintPageClasses.h"
#include "printing/pages/PrintPageTexts.h"
#include "printing/pages/ZORVAK_USBPrinter.h"

#include <limits>

namespace Format = platform::KeyedArchiveFormat;

namespace {

const QString InputImagesKey = QStringLiteral("self.inputImages");
const QString FileURLsKey = QStringLiteral("self.fileURLs");
const QString ImageFiltersKey = QStringLiteral("self.imageFilters");
const QString PropertiesKey = QStringLiteral("self.properties");
const QString PrinterProfileICCKey = QStringLiteral("self.printerProfileICC");
const QString RequiredModelKey = QStringLiteral("self.requiredModel");
const QString DestinationLabelKey = QStringLiteral("self.destinationLabel");
const QString ColorManagementKey = QStringLiteral("self.colorManagement");
const QString PrinterModelKey = QStringLiteral("self.printerModel");

const QString DNPPageClassName = QStringLiteral("ZORVAK_PrintPage_DNP");
const QString MitsubishiPageClassName = QStringLiteral("ZORVAK_PrintPageMitsu1");

// Old tickets are small property lists; anything larger is no ticket.
constexpr qint64 MaximumTicketSize = 4 * 1024 * 1024;

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass({ZORVAK_PrintPage::ClassName, Format::Object}, &ZORVAK_PrintPage::initWithCoder);
    return true;
}();

// The old printer index of a model name: the Mitsubishi printers by the number in their name,
// every other printer 0.
quint64 printerIndexForModel(const QString& model)
{
    if (!model.toLower().startsWith(QStringLiteral("mitsu")))
        return 0;
    if (model.contains(QStringLiteral("90")))
        return 57;
    if (model.contains(QStringLiteral("80")))
        return 56;
    return 47;
}

QString pageClassNameForPrinter(qint64 index)
{
    return index == 47 || index == 56 || index == 57 ? MitsubishiPageClassName : DNPPageClassName;
}

// A size in pixels as a whole number: truncated, 0 for negative or undefined sizes, saturated
// at the largest number.
quint64 truncatedPixels(double length)
{
    if (!(length > 0))
        return 0;
    if (length >= 18446744073709551616.0)
        return std::numeric_limits<quint64>::max();
    return quint64(length);
}

// Whether a dictionary entry holds the kind of value its property reads: dates, texts and
// booleans (numbers) for the known keys; any value for other keys.
bool holdsExpectedKind(const QString& key, const QVariant& value)
{
    using Page = ZORVAK_PrintPage;
    if (key == Page::DateInitKey || key == Page::DatePrintStartKey || key == Page::DatePrintCompleteKey)
        return value.typeId() == QMetaType::QDateTime;
    if (key == Page::ReasonKey || key == Page::GravityKey || key == Page::PaperNameKey)
        return value.typeId() == QMetaType::QString;
    if (key == Page::AutoRotateKey || key == Page::ApplyImageFiltersKey || key == Page::RequiresIdealMediaKey)
        return platform::StringValues::isNumber(value);
    return true;
}

// The archived dictionary without the entries of an unexpected kind, which are logged, so that
// their properties answer their defaults.
QVariantMap withExpectedKinds(QVariantMap properties)
{
    for (auto entry = properties.begin(); entry != properties.end();) {
        if (holdsExpectedKind(entry.key(), entry.value())) {
            ++entry;
            continue;
        }
        platform::Log::error(QStringLiteral("an archived print page holds a %1 under \"%2\"; it is read as missing")
                                 .arg(QString::fromLatin1(entry.value().typeName()), entry.key()));
        entry = properties.erase(entry);
    }
    return properties;
}

} // namespace

ZORVAK_PrintPage::ZORVAK_PrintPage()
    : m_colorManagement(1)
    , m_properties{{AutoRotateKey, true}, {DateInitKey, QDateTime::currentDateTimeUtc()}}
{
}

ZORVAK_PrintPage::ZORVAK_PrintPage(Uninitialised) {}

ZORVAK_PrintPage::~ZORVAK_PrintPage() = default;

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage::printPageForModel(const QString& model)
{
    const quint64 index = printerIndexForModel(model);
    std::shared_ptr<ZORVAK_PrintPage> page = printPageForOldKova(QVariantMap{{PrinterKey, qint64(index)}});
    if (page && index == 0)
        page->setRequiredModel(model);
    return page;
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage::printPageForOldKova(const QVariant& ticket)
{
    const std::optional<QVariantMap> dictionary = ticketDictionary(ticket);
    // A ticket file that cannot be read has been logged; the base import would only read
    // and log it again.
    if (!dictionary)
        return ticket.typeId() == QMetaType::QUrl ? nullptr : initWithOLDKOVA(ticket);
    const qint64 index = platform::StringValues::integerValue(dictionary->value(PrinterKey));
    const QString className = pageClassNameForPrinter(index);
    const PrintPageClasses::Import import = PrintPageClasses::classNamed(className);
    if (!import) {
        platform::Log::error(QStringLiteral("no print page class %1 for printer %2").arg(className).arg(index));
        return nullptr;
    }
    std::shared_ptr<ZORVAK_PrintPage> page = import(ticket);
    if (page)
        page->setPrinterModel(quint64(index));
    return page;
}

void ZORVAK_PrintPage::logRefusedTicket(const QString& className, const QVariant& ticket)
{
    const QString described = ticket.typeId() == QMetaType::QUrl ? ticket.toUrl().toString()
                              : ticket.isValid()                 ? QString::fromLatin1(ticket.typeName())
                                                                 : QStringLiteral("nothing");
    platform::Log::error(QStringLiteral("cannot make a print page %1 from the ticket %2").arg(className, described));
}

std::optional<QVariantMap> ZORVAK_PrintPage::importedTicket(const QVariant& ticket)
{
    if (!ZORVAK_PrintPage::importOLDKOVA(ticket))
        return std::nullopt;
    return ticketDictionary(ticket);
}

std::optional<QVariantMap> ZORVAK_PrintPage::ticketDictionary(const QVariant& ticket)
{
    if (ticket.typeId() == QMetaType::QVariantMap)
        return ticket.toMap();
    if (ticket.typeId() != QMetaType::QUrl || !ticket.toUrl().isLocalFile())
        return std::nullopt;
    const QString path = ticket.toUrl().toLocalFile();
    platform::Error error;
    const std::optional<QByteArray> data = platform::BoundedFileRead::contents(path, MaximumTicketSize, &error);
    const QVariant value = data ? platform::PropertyList::fromData(*data, &error) : QVariant();
    if (value.typeId() == QMetaType::QVariantMap)
        return value.toMap();
    platform::Log::error(QStringLiteral("cannot read the print ticket %1: %2")
                             .arg(path, error.isNull() ? QStringLiteral("it holds no dictionary") : error.description()));
    return std::nullopt;
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage::newPage() const
{
    return std::make_shared<ZORVAK_PrintPage>();
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage::copyWithZone() const
{
    std::shared_ptr<ZORVAK_PrintPage> page = newPage();
    page->m_inputImages = m_inputImages;
    page->m_imageFilters = m_imageFilters;
    page->m_printerProfileICC = printerProfileICC();
    page->m_colorManagement = colorManagement();
    const std::lock_guard lock(m_mutex);
    page->m_properties = m_properties;
    page->m_printer = m_printer;
    return page;
}

void ZORVAK_PrintPage::configureNamedPaper(const QString& paperName)
{
    setPropertyValue(PaperNameKey, paperName);
}

QVariant ZORVAK_PrintPage::propertyValue(const QString& key) const
{
    const std::lock_guard lock(m_mutex);
    return m_properties.value(key);
}

void ZORVAK_PrintPage::setPropertyValue(const QString& key, const QVariant& value)
{
    if (PrintPageArchiveValues::isNothing(value)) {
        removePropertyValue(key);
        return;
    }
    const std::lock_guard lock(m_mutex);
    m_properties.insert(key, value);
}

void ZORVAK_PrintPage::removePropertyValue(const QString& key)
{
    const std::lock_guard lock(m_mutex);
    m_properties.remove(key);
}

QVariantMap ZORVAK_PrintPage::properties() const
{
    const std::lock_guard lock(m_mutex);
    return m_properties;
}

QString ZORVAK_PrintPage::imageGravity() const
{
    const QVariant gravity = propertyValue(GravityKey);
    return gravity.isValid() ? gravity.toString() : ZORVAK_Image::kCAGravityResizeAspectFill;
}

void ZORVAK_PrintPage::setImageGravity(const QString& gravity)
{
    setPropertyValue(GravityKey, gravity);
    imagePreviewInputsChanged();
}

bool ZORVAK_PrintPage::autoRotate() const
{
    const QVariant value = propertyValue(AutoRotateKey);
    return !value.isValid() || platform::StringValues::boolValue(value);
}

void ZORVAK_PrintPage::setAutoRotate(bool autoRotate)
{
    setPropertyValue(AutoRotateKey, autoRotate);
    imagePreviewInputsChanged();
}

bool ZORVAK_PrintPage::applyImageFilters() const
{
    const QVariant value = propertyValue(ApplyImageFiltersKey);
    return value.isValid() ? platform::StringValues::boolValue(value) : !m_imageFilters.isEmpty();
}

void ZORVAK_PrintPage::setApplyImageFilters(bool apply)
{
    setPropertyValue(ApplyImageFiltersKey, apply);
    imagePreviewInputsChanged();
}

bool ZORVAK_PrintPage::requiresIdealMedia() const
{
    return platform::StringValues::boolValue(propertyValue(RequiresIdealMediaKey));
}

void ZORVAK_PrintPage::setRequiresIdealMedia(bool required)
{
    setPropertyValue(RequiresIdealMediaKey, required);
}

QDateTime ZORVAK_PrintPage::dateInit() const
{
    return propertyValue(DateInitKey).toDateTime();
}

QDateTime ZORVAK_PrintPage::datePrintStart() const
{
    return propertyValue(DatePrintStartKey).toDateTime();
}

QDateTime ZORVAK_PrintPage::datePrintComplete() const
{
    return propertyValue(DatePrintCompleteKey).toDateTime();
}

QString ZORVAK_PrintPage::reason() const
{
    return propertyValue(ReasonKey).toString();
}

void ZORVAK_PrintPage::setReason(const QString& reason)
{
    setPropertyValue(ReasonKey, reason);
}

quint64 ZORVAK_PrintPage::pixelsWide() const
{
    return truncatedPixels(outputSize().width());
}

quint64 ZORVAK_PrintPage::pixelsHigh() const
{
    return truncatedPixels(outputSize().height());
}

std::shared_ptr<ZORVAK_USBPrinter> ZORVAK_PrintPage::printer() const
{
    const std::lock_guard lock(m_mutex);
    return m_printer.lock();
}

void ZORVAK_PrintPage::setPrinter(const std::shared_ptr<ZORVAK_USBPrinter>& printer)
{
    const std::lock_guard lock(m_mutex);
    m_printer = printer;
}

void ZORVAK_PrintPage::print()
{
    if (const std::shared_ptr<ZORVAK_USBPrinter> target = printer())
        target->printPage(*this);
}

std::shared_ptr<platform::DispatchGroup> ZORVAK_PrintPage::groupPrint()
{
    const std::lock_guard lock(m_mutex);
    if (!m_groupPrint)
        m_groupPrint = platform::DispatchGroup::create();
    return m_groupPrint;
}

void ZORVAK_PrintPage::showPrintPanel(const QVariant&)
{
    platform::Log::log(QStringLiteral("-[ZORVAK_PrintPage showPrintPanel:]"));
}

QString ZORVAK_PrintPage::description() const
{
    const std::shared_ptr<ZORVAK_USBPrinter> target = printer();
    const QString image = m_inputImages.isEmpty() ? QString() : m_inputImages.first().fileName();
    return QStringLiteral("%1 - %2").arg(PrintPageTexts::describedOrNull(target ? target->description() : QString()),
                                          PrintPageTexts::describedOrNull(image));
}

QStringList ZORVAK_PrintPage::archiveClassHierarchy() const
{
    return {ClassName, Format::Object};
}

void ZORVAK_PrintPage::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    using PrintPageArchiveValues::encodeIfPresent;
    coder.encodeObject(PrintPageArchiveValues::urlList(m_inputImages), InputImagesKey);
    encodeIfPresent(coder, PrintPageArchiveValues::urlList(m_fileURLs), FileURLsKey);
    encodeIfPresent(coder, m_imageFilters.isEmpty() ? QVariant() : QVariant(m_imageFilters), ImageFiltersKey);
    coder.encodeObject(properties(), PropertiesKey, platform::KeyedArchiver::Mutability::Mutable);
    encodeIfPresent(coder, printerProfileICC().isEmpty() ? QVariant() : QVariant(printerProfileICC()), PrinterProfileICCKey);
    encodeIfPresent(coder, m_requiredModel, RequiredModelKey);
    encodeIfPresent(coder, m_destinationLabel, DestinationLabelKey);
    coder.encodeInteger(qint64(quint32(colorManagement())), ColorManagementKey);
    coder.encodeInteger(qint64(m_printerModel.load()), PrinterModelKey);
}

std::shared_ptr<platform::Archivable> ZORVAK_PrintPage::initWithCoder(platform::KeyedUnarchiver& coder)
{
    std::shared_ptr<ZORVAK_PrintPage> page(new ZORVAK_PrintPage(Uninitialised{}));
    page->decodeBaseKeys(coder);
    if (coder.hasError())
        return nullptr;
    return page;
}

void ZORVAK_PrintPage::decodeBaseKeys(platform::KeyedUnarchiver& coder)
{
    namespace Values = PrintPageArchiveValues;
    m_inputImages = Values::decodeURLs(coder, InputImagesKey);
    m_fileURLs = Values::decodeURLs(coder, FileURLsKey);
    m_imageFilters = Values::decodeFilterChains(coder, ImageFiltersKey);
    const QVariantMap properties = withExpectedKinds(Values::decodeDictionary(coder, PropertiesKey));
    m_printerProfileICC = Values::decodeURL(coder, PrinterProfileICCKey);
    m_requiredModel = Values::decodeText(coder, RequiredModelKey);
    m_destinationLabel = Values::decodeText(coder, DestinationLabelKey);
    m_colorManagement = qint32(quint32(coder.decodeInteger(ColorManagementKey)));
    m_printerModel = quint64(coder.decodeInteger(PrinterModelKey));
    const std::lock_guard lock(m_mutex);
    m_properties = properties;
}

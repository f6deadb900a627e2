#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "printing/dnp/DNPMediaTables.h"
#include "printing/dnp/DNPStatusTexts.h"
#include "printing/pages/DNPPlaneBuilder.h"
#include "printing/pages/OldTicketSettings.h"
#include "printing/pages/PaperSelection.h"
#include "printing/pages/PrintPageTexts.h"

namespace {

const QString MediaSizeKey = QStringLiteral("self.mediaSize");
const QString MulticutKey = QStringLiteral("self.multicut");
const QString OvercoatKey = QStringLiteral("self.overcoat");
const QString CutModeKey = QStringLiteral("self.cutMode");
const QString QualityKey = QStringLiteral("self.quality");
const QString SheetFedKey = QStringLiteral("self.sheetFed");
const QString OvercoatBacksideKey = QStringLiteral("self.overcoatBackside");

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass(
        {ZORVAK_PrintPage_DNP::ClassName, ZORVAK_PrintPage::ClassName, platform::KeyedArchiveFormat::Object},
        &ZORVAK_PrintPage_DNP::initWithCoder);
    return true;
}();

constexpr double Resolution = 300;

// The old tickets' printers and the media codes of their media types 1 to 5.
const OldTicketPrinter Printers[] = {
    {45, "DNP DS40", {20, 30, 21, 31, 40}},
    {46, "DNP DS80", {50, 51, 0, 0, 0}},
    {48, "DNP DS-RX1", {20, 30, 21, 31, 40}},
    {54, "DNP DP-DS620", {20, 30, 21, 31, 40}},
    {55, "DNP DP-DS820", {50, 51, 0, 0, 0}},
    {56, "DNP DP-DS80D", {0, 0, 0, 0, 0}},
};

// The multicut of an old ticket's media and cut selector, on any printer.
constexpr long long Any = OldTicketChoice::AnyValue;
const OldTicketChoice TicketMulticuts[] = {
    {Any, 20, Any, 1},
    {Any, 21, 2, 1},   {Any, 21, Any, 3},
    {Any, 30, Any, 2},
    {Any, 31, 2, 12},  {Any, 31, Any, 4},
    {Any, 40, 2, 12},  {Any, 40, 3, 4},   {Any, 40, 4, 2},   {Any, 40, Any, 5},
    {Any, 50, 2, 14},  {Any, 50, 3, 13},  {Any, 50, 4, 17},  {Any, 50, 5, 16},  {Any, 50, 6, 11},  {Any, 50, Any, 6},
    {Any, 51, 2, 6},   {Any, 51, 3, 15},  {Any, 51, 4, 14},  {Any, 51, 5, 20},  {Any, 51, 6, 13},  {Any, 51, 7, 18},
    {Any, 51, 8, 17},  {Any, 51, 9, 16},  {Any, 51, 10, 19}, {Any, 51, 11, 11}, {Any, 51, 12, 21}, {Any, 51, Any, 7},
};

// The cut mode of an old ticket's media and cut selector: 120 for the half cuts, else 0.
const OldTicketChoice TicketCutModes[] = {
    {Any, 31, 3, 120},
    {Any, 30, 2, 120},
};

} // namespace

ZORVAK_PrintPage_DNP::ZORVAK_PrintPage_DNP(Uninitialised)
    : ZORVAK_PrintPage(Uninitialised{})
{
}

std::shared_ptr<ZORVAK_PrintPage_DNP> ZORVAK_PrintPage_DNP::initWithOLDKOVA(const QVariant& ticket)
{
    return imported(std::make_shared<ZORVAK_PrintPage_DNP>(), ticket);
}

bool ZORVAK_PrintPage_DNP::importOLDKOVA(const QVariant& ticket)
{
    const std::optional<QVariantMap> dictionary = importedTicket(ticket);
    if (!dictionary)
        return false;
    const OldTicketSettings settings = OldTicketSettings::fromTicket(*dictionary);
    setRequiredModel(oldTicketModel(Printers, settings.printer));
    m_mediaSize = qint32(oldTicketMedia(Printers, settings.printer, settings.mediaType));
    if (m_mediaSize == 0) {
        setReason(UnsupportedMediaReason);
        return true;
    }
    setMulticut(qint32(oldTicketChoice(TicketMulticuts, settings.printer, m_mediaSize, settings.cutInHalf)));
    m_cutMode = qint32(oldTicketChoice(TicketCutModes, settings.printer, m_mediaSize, settings.cutInHalf));
    m_overcoat = settings.lamination == 2 ? 1 : 0;
    setQuality(settings.printingMode == 2 ? 10 : 0);
    return true;
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage_DNP::newPage() const
{
    return std::make_shared<ZORVAK_PrintPage_DNP>();
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage_DNP::copyWithZone() const
{
    const auto page = std::static_pointer_cast<ZORVAK_PrintPage_DNP>(ZORVAK_PrintPage::copyWithZone());
    page->m_mediaSize = m_mediaSize.load();
    page->m_multicut = m_multicut.load();
    page->m_overcoat = m_overcoat.load();
    page->m_quality = m_quality.load();
    page->m_cutMode = m_cutMode.load();
    page->m_sheetFed = m_sheetFed.load();
    page->m_overcoatBackside = m_overcoatBackside.load();
    return page;
}

void ZORVAK_PrintPage_DNP::configureNamedPaper(const QString& paperName)
{
    ZORVAK_PrintPage::configureNamedPaper(paperName);
    setMulticut(dnp_multicutForNamedPaperSize(paperName));
    m_mediaSize = dnp_mediaCodeForMultiCut(m_multicut);
    removePropertyValue(ReasonKey);
    if (m_multicut == 0)
        platform::Log::error(QStringLiteral("the paper name \"%1\" names no DNP multicut; the page has no size").arg(paperName));
}

bool ZORVAK_PrintPage_DNP::hiRes() const
{
    return m_quality == 10 || m_quality == 30;
}

QSizeF ZORVAK_PrintPage_DNP::outputSize() const
{
    if (m_multicut == 0)
        return {0, 0};
    return hiRes() ? dnp_pixelsForMulticutHiRes(m_multicut) : dnp_pixelsForMulticut(m_multicut);
}

QSizeF ZORVAK_PrintPage_DNP::outputResolution() const
{
    return {Resolution, hiRes() ? 2 * Resolution : Resolution};
}

quint32 ZORVAK_PrintPage_DNP::headWidth() const
{
    return DNPPlaneBuilder::headWidthFor(outputSize());
}

QString ZORVAK_PrintPage_DNP::description() const
{
    return PrintPageTexts::settingsDescription(requiredModel(), dnp_paperNameForMulticut(m_multicut), dnp_nameForQuality(m_quality),
                                               dnp_nameForOvercoat(m_overcoat), dnp_mediaNameForSize(m_mediaSize));
}

QString ZORVAK_PrintPage_DNP::mediaName() const
{
    return PrintPageTexts::mediaName(dnp_mediaNameForSize(m_mediaSize));
}

QString ZORVAK_PrintPage_DNP::reason() const
{
    return PrintPageTexts::reason(ZORVAK_PrintPage::reason(), requiredModel(), dnp_mediaNameForSize(m_mediaSize));
}

QStringList ZORVAK_PrintPage_DNP::paperNames() const
{
    return dnp_paperNamesForMulticutModes(availableMulticutModes().value_or(DNPIndexSet{}));
}

quint64 ZORVAK_PrintPage_DNP::selectedPaperIndex() const
{
    return PaperSelection::indexOf(availableMulticutModes(), m_multicut.load());
}

void ZORVAK_PrintPage_DNP::setSelectedPaperIndex(quint64 index)
{
    const std::optional<quint64> mode = PaperSelection::modeAt(availableMulticutModes(), index);
    if (mode && std::cmp_not_equal(*mode, m_multicut.load()))
        setMulticut(qint32(*mode));
}

QSet<QString> ZORVAK_PrintPage_DNP::keyPathsForValuesAffectingSelectedPaperIndex()
{
    return PaperSelection::keyPathsForValuesAffectingSelectedPaperIndex();
}

QList<QByteArray> ZORVAK_PrintPage_DNP::YMCDataPlanes() const
{
    const bool withBackside = isDuplex() || overcoatBackside();
    const DNPPlaneBuilder builder(headWidth(), pixelsHigh(), outputResolution(), withBackside);
    return builder.planes(*this);
}

QStringList ZORVAK_PrintPage_DNP::archiveClassHierarchy() const
{
    return {ClassName, ZORVAK_PrintPage::ClassName, platform::KeyedArchiveFormat::Object};
}

void ZORVAK_PrintPage_DNP::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    ZORVAK_PrintPage::encodeWithCoder(coder);
    coder.encodeInteger(m_mediaSize, MediaSizeKey);
    coder.encodeInteger(m_multicut, MulticutKey);
    coder.encodeInteger(m_overcoat, OvercoatKey);
    coder.encodeInteger(m_cutMode, CutModeKey);
    coder.encodeInteger(m_quality, QualityKey);
    coder.encodeBool(m_sheetFed, SheetFedKey);
    coder.encodeBool(m_overcoatBackside, OvercoatBacksideKey);
}

std::shared_ptr<platform::Archivable> ZORVAK_PrintPage_DNP::initWithCoder(platform::KeyedUnarchiver& coder)
{
    std::shared_ptr<ZORVAK_PrintPage_DNP> page(new ZORVAK_PrintPage_DNP(Uninitialised{}));
    page->decodeBaseKeys(coder);
    page->m_mediaSize = qint32(coder.decodeInteger(MediaSizeKey));
    page->m_multicut = qint32(coder.decodeInteger(MulticutKey));
    page->m_overcoat = qint32(coder.decodeInteger(OvercoatKey));
    page->m_cutMode = qint32(coder.decodeInteger(CutModeKey));
    page->m_quality = qint32(coder.decodeInteger(QualityKey));
    page->m_sheetFed = coder.decodeBool(SheetFedKey);
    page->m_overcoatBackside = coder.decodeBool(OvercoatBacksideKey);
    if (coder.hasError())
        return nullptr;
    return page;
}

#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "printing/dnp/DNPMediaTables.h"
#include "printing/dnp/DNPPlaneBuilder.h"

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

// The model name of an old printer index; none for printers that are not DNP printers.
QString modelForPrinter(qint64 index)
{
    switch (index) {
    case 45:
        return QStringLiteral("DNP DS40");
    case 46:
        return QStringLiteral("DNP DS80");
    case 48:
        return QStringLiteral("DNP DS-RX1");
    case 54:
        return QStringLiteral("DNP DP-DS620");
    case 55:
        return QStringLiteral("DNP DP-DS820");
    case 56:
        return QStringLiteral("DNP DP-DS80D");
    default:
        return {};
    }
}

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
    return importPrinterTicket(ticket, modelForPrinter);
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage_DNP::newPage() const
{
    return std::make_shared<ZORVAK_PrintPage_DNP>();
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPage_DNP::copyWithZone() const
{
    const auto page = std::static_pointer_cast<ZORVAK_PrintPage_DNP>(ZORVAK_PrintPage::copyWithZone());
    page->m_mediaSize = m_mediaSize;
    page->m_multicut = m_multicut;
    page->m_overcoat = m_overcoat;
    page->m_quality = m_quality;
    page->m_cutMode = m_cutMode;
    page->m_sheetFed = m_sheetFed.load();
    page->m_overcoatBackside = m_overcoatBackside.load();
    return page;
}

void ZORVAK_PrintPage_DNP::configureNamedPaper(const QString& paperName)
{
    ZORVAK_PrintPage::configureNamedPaper(paperName);
    m_multicut = dnp_multicutForNamedPaperSize(paperName);
    m_mediaSize = dnp_mediaCodeForMultiCut(m_multicut);
    removePropertyValue(ReasonKey);
}

QList<QByteArray> ZORVAK_PrintPage_DNP::YMCDataPlanes() const
{
    const bool withBackside = isDuplex() || overcoatBackside();
    const DNPPlaneBuilder builder(DNPPlaneBuilder::headWidthFor(outputSize()), pixelsHigh(), outputResolution(), withBackside);
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

#include "printing/pages/ZORVAK_PrintPageMitsu1.h"

#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"

#include <algorithm>
#include <utility>

namespace {

const QString MediaSizeKey = QStringLiteral("self.mediaSize");
const QString MulticutKey = QStringLiteral("self.multicut");
const QString OvercoatKey = QStringLiteral("self.overcoat");
const QString QualityKey = QStringLiteral("self.quality");

const QString CutSeparator = QStringLiteral("Cut");
constexpr quint8 DefaultMediaCode = 15;

[[maybe_unused]] const bool registeredForDecoding = [] {
    platform::KeyedUnarchiver::registerClass(
        {ZORVAK_PrintPageMitsu1::ClassName, ZORVAK_PrintPage::ClassName, platform::KeyedArchiveFormat::Object},
        &ZORVAK_PrintPageMitsu1::initWithCoder);
    return true;
}();

// Paper-name endings and their cut codes, in the order they are tested: an ending is always
// tested before a shorter one it ends in.
const std::pair<QString, quint64> CutEndings[] = {
    {QStringLiteral("6x8"), 512},   {QStringLiteral("6x14"), 4232}, {QStringLiteral("6x20"), 6036},
    {QStringLiteral("2-4x6"), 1},   {QStringLiteral("4x6"), 128},   {QStringLiteral("6x4"), 128},
    {QStringLiteral("6x9"), 2048},  {QStringLiteral("6x8.5"), 1024}, {QStringLiteral("6x6"), 256},
    {QStringLiteral("5x7"), 64},    {QStringLiteral("35x5"), 16},   {QStringLiteral("5x5"), 32},
    {QStringLiteral("2-2x6"), 5},
};

// Media marks and their media codes, in the order they are looked for.
const std::pair<QString, quint8> MediaMarks[] = {
    {QStringLiteral("Media6x9"), 5},
    {QStringLiteral("Media5x7"), 4},
    {QStringLiteral("Media35x5"), 1},
    {QStringLiteral("Media4x6"), 2},
};

QString modelForPrinter(qint64 index)
{
    switch (index) {
    case 57:
        return QStringLiteral("Mitsubishi CP-D90DW");
    case 56:
        return QStringLiteral("Mitsu CP-D80DW [BETA]");
    case 47:
        return QStringLiteral("Mitsu CP-D70DW [BETA-may not work]");
    default:
        return {};
    }
}

} // namespace

quint64 mitsu_multicutForNamedPaperSize(const QString& paperName)
{
    const QString ending = paperName.split(CutSeparator).constLast();
    const auto cut = std::find_if(std::cbegin(CutEndings), std::cend(CutEndings),
                                  [&ending](const auto& entry) { return ending.endsWith(entry.first); });
    return cut == std::cend(CutEndings) ? 0 : cut->second;
}

quint8 mitsu_mediaCodeForPaperName(const QString& paperName)
{
    const auto media = std::find_if(std::cbegin(MediaMarks), std::cend(MediaMarks),
                                    [&paperName](const auto& entry) { return paperName.contains(entry.first); });
    return media == std::cend(MediaMarks) ? DefaultMediaCode : media->second;
}

ZORVAK_PrintPageMitsu1::ZORVAK_PrintPageMitsu1(Uninitialised)
    : ZORVAK_PrintPage(Uninitialised{})
{
}

std::shared_ptr<ZORVAK_PrintPageMitsu1> ZORVAK_PrintPageMitsu1::initWithOLDKOVA(const QVariant& ticket)
{
    return imported(std::make_shared<ZORVAK_PrintPageMitsu1>(), ticket);
}

bool ZORVAK_PrintPageMitsu1::importOLDKOVA(const QVariant& ticket)
{
    return importPrinterTicket(ticket, modelForPrinter);
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPageMitsu1::newPage() const
{
    return std::make_shared<ZORVAK_PrintPageMitsu1>();
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPageMitsu1::copyWithZone() const
{
    const auto page = std::static_pointer_cast<ZORVAK_PrintPageMitsu1>(ZORVAK_PrintPage::copyWithZone());
    page->m_mediaSize = m_mediaSize;
    page->m_multicut = m_multicut;
    page->m_overcoat = m_overcoat;
    page->m_quality = m_quality;
    return page;
}

void ZORVAK_PrintPageMitsu1::configureNamedPaper(const QString& paperName)
{
    m_multicut = mitsu_multicutForNamedPaperSize(paperName);
    m_mediaSize = mitsu_mediaCodeForPaperName(paperName);
    removePropertyValue(ReasonKey);
}

QStringList ZORVAK_PrintPageMitsu1::archiveClassHierarchy() const
{
    return {ClassName, ZORVAK_PrintPage::ClassName, platform::KeyedArchiveFormat::Object};
}

void ZORVAK_PrintPageMitsu1::encodeWithCoder(platform::KeyedArchiver& coder) const
{
    ZORVAK_PrintPage::encodeWithCoder(coder);
    coder.encodeInteger(m_mediaSize, MediaSizeKey);
    coder.encodeInteger(qint64(m_multicut), MulticutKey);
    coder.encodeInteger(m_overcoat, OvercoatKey);
    coder.encodeInteger(m_quality, QualityKey);
}

std::shared_ptr<platform::Archivable> ZORVAK_PrintPageMitsu1::initWithCoder(platform::KeyedUnarchiver& coder)
{
    std::shared_ptr<ZORVAK_PrintPageMitsu1> page(new ZORVAK_PrintPageMitsu1(Uninitialised{}));
    page->decodeBaseKeys(coder);
    page->m_mediaSize = quint8(coder.decodeInteger(MediaSizeKey));
    page->m_multicut = quint64(coder.decodeInteger(MulticutKey));
    page->m_overcoat = quint8(coder.decodeInteger(OvercoatKey));
    page->m_quality = quint8(coder.decodeInteger(QualityKey));
    if (coder.hasError())
        return nullptr;
    return page;
}

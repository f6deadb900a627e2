#include "printing/pages/ZORVAK_PrintPageMitsu1.h"

#include "platform/Log.h"
#include "platform/plist/KeyedArchiveFormat.h"
#include "platform/plist/KeyedArchiver.h"
#include "platform/plist/KeyedUnarchiver.h"
#include "printing/dnp/DNPTableLookup.h"
#include "printing/pages/OldTicketSettings.h"
#include "printing/pages/PaperSelection.h"
#include "printing/pages/PrintPageTexts.h"

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

constexpr quint64 CPD90DW = 57;
constexpr double Resolution = 300;

// The cut layouts: print name, and height and width in pixels on the CP-D90DW and on the
// other printers.
struct Cut {
    quint64 code;
    const char* printName;
    quint32 highCPD90;
    quint32 highOther;
    quint32 wideCPD90;
    quint32 wideOther;
};

const Cut Cuts[] = {
    {1, "6 x 4 (x2)", 2488, 2730, 1852, 1864},
    {5, "6 x 2 (x2)", 1226, 1228, 1852, 1864},
    {16, "5 x 3.5", 1076, 1076, 1550, 1864},
    {32, "5 x 5", 1527, 1524, 1550, 1568},
    {64, "5 x 7", 2128, 2128, 1550, 1568},
    {128, "6 x 4", 1226, 1228, 1852, 1864},
    {256, "6 x 6", 1827, 1820, 1852, 1864},
    {512, "6 x 8", 2428, 2422, 1852, 1864},
    {1024, nullptr, 2568, 2568, 1852, 1864},
    {2048, "6 x 9", 2729, 2729, 1852, 1864},
    {4232, "6 x 14 Panorama", 4232, 4232, 1852, 1864},
    {6036, "6 x 20 Panorama", 6036, 6036, 1852, 1864},
};
// Any other cut: no height, the printer's full width.
const Cut OtherCut = {0, nullptr, 0, 0, 1852, 1864};

const DNPTables::NamedCode MediaNames[] = {
    {1, "5 x 3.5"}, {2, "6 x 4"}, {4, "5 x 7"}, {5, "6 x 9"}, {15, "6 x 8"},
};

const DNPTables::NamedCode QualityNames[] = {{0, "Fine"}, {3, "Super Fine"}, {4, "Ultra Fine"}};
const DNPTables::NamedCode OvercoatNames[] = {{0, "Glossy"}, {2, "Matte"}};

// The old tickets' printers and the media codes of their media types 1 to 5.
const OldTicketPrinter Printers[] = {
    {57, "Mitsubishi CP-D90DW", {1, 4, 2, 15, 5}},
    {56, "Mitsu CP-D80DW [BETA]", {4, 15, 0, 0, 0}},
    {47, "Mitsu CP-D70DW [BETA-may not work]", {1, 4, 2, 15, 5}},
};

// The cut of an old ticket's printer, media and cut selector.
constexpr long long AnySelector = OldTicketChoice::AnyValue;
const OldTicketChoice TicketCuts[] = {
    {57, 1, AnySelector, 16},
    {57, 2, 2, 1},      {57, 2, AnySelector, 128},
    {57, 4, 1, 32},     {57, 4, AnySelector, 64},
    {57, 5, 2, 512},    {57, 5, 3, 1024},  {57, 5, 4, 2048}, {57, 5, AnySelector, 256},
    {57, 15, 2, 512},   {57, 15, 3, 128},  {57, 15, 4, 1},   {57, 15, 5, 4232}, {57, 15, 6, 6036}, {57, 15, AnySelector, 256},
    {56, 4, 1, 32},     {56, 4, 2, 64},
    {56, 15, 2, 512},   {56, 15, 3, 128},  {56, 15, 4, 1},   {56, 15, AnySelector, 256},
};

const Cut& cutFor(quint64 multicut)
{
    const Cut* cut = DNPTables::findRow(Cuts, multicut);
    return cut ? *cut : OtherCut;
}

// The name in `names`, none for a code it does not hold.
template <std::size_t Count>
QString nameOrNone(const DNPTables::NamedCode (&names)[Count], qint64 code)
{
    const DNPTables::NamedCode* row = DNPTables::findRow(names, code);
    return row ? QString::fromLatin1(row->name) : QString();
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

QString mitsu_printNameForMulticut(quint64 multicut)
{
    const Cut& cut = cutFor(multicut);
    return cut.printName ? QString::fromLatin1(cut.printName) : QString();
}

QString mitsu_mediaNameForCode(quint8 media)
{
    return nameOrNone(MediaNames, media);
}

QStringList mitsu_paperNamesForMulticutModes(const MitsuIndexSet& multicuts)
{
    QStringList names;
    for (const quint64 multicut : multicuts) {
        const QString name = mitsu_printNameForMulticut(multicut);
        if (!name.isNull())
            names.append(name);
    }
    return names;
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
    const std::optional<QVariantMap> dictionary = importedTicket(ticket);
    if (!dictionary)
        return false;
    const OldTicketSettings settings = OldTicketSettings::fromTicket(*dictionary);
    setRequiredModel(oldTicketModel(Printers, settings.printer));
    m_mediaSize = quint8(oldTicketMedia(Printers, settings.printer, settings.mediaType));
    if (m_mediaSize == 0) {
        setReason(UnsupportedMediaReason);
        return true;
    }
    setMulticut(quint64(oldTicketChoice(TicketCuts, settings.printer, m_mediaSize, settings.cutInHalf)));
    m_overcoat = settings.lamination == 2 ? 2 : 0;
    setQuality(settings.printingMode == 2 ? 10 : 0);
    return true;
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPageMitsu1::newPage() const
{
    return std::make_shared<ZORVAK_PrintPageMitsu1>();
}

std::shared_ptr<ZORVAK_PrintPage> ZORVAK_PrintPageMitsu1::copyWithZone() const
{
    const auto page = std::static_pointer_cast<ZORVAK_PrintPageMitsu1>(ZORVAK_PrintPage::copyWithZone());
    page->m_mediaSize = m_mediaSize.load();
    page->m_multicut = m_multicut.load();
    page->m_overcoat = m_overcoat.load();
    page->m_quality = m_quality.load();
    return page;
}

void ZORVAK_PrintPageMitsu1::configureNamedPaper(const QString& paperName)
{
    setMulticut(mitsu_multicutForNamedPaperSize(paperName));
    m_mediaSize = mitsu_mediaCodeForPaperName(paperName);
    removePropertyValue(ReasonKey);
    if (m_multicut == 0)
        platform::Log::error(QStringLiteral("the paper name \"%1\" names no Mitsubishi cut; the page has no height").arg(paperName));
}

QSizeF ZORVAK_PrintPageMitsu1::outputResolution() const
{
    return {Resolution, Resolution};
}

QSizeF ZORVAK_PrintPageMitsu1::outputSize() const
{
    return QSizeF(double(pixelsWide()), double(pixelsHigh()));
}

quint64 ZORVAK_PrintPageMitsu1::pixelsWide() const
{
    const Cut& cut = cutFor(m_multicut);
    return printerModel() == CPD90DW ? cut.wideCPD90 : cut.wideOther;
}

quint64 ZORVAK_PrintPageMitsu1::pixelsHigh() const
{
    return pixelsHighForMulticut(m_multicut);
}

quint32 ZORVAK_PrintPageMitsu1::pixelsHighForMulticut(quint64 multicut) const
{
    const Cut& cut = cutFor(multicut);
    return printerModel() == CPD90DW ? cut.highCPD90 : cut.highOther;
}

QString ZORVAK_PrintPageMitsu1::description() const
{
    return PrintPageTexts::settingsDescription(requiredModel(), mitsu_printNameForMulticut(m_multicut),
                                               DNPTables::nameForCode(QualityNames, m_quality.load(), "Automatic"),
                                               nameOrNone(OvercoatNames, m_overcoat), mitsu_mediaNameForCode(m_mediaSize));
}

QString ZORVAK_PrintPageMitsu1::mediaName() const
{
    return PrintPageTexts::mediaName(mitsu_mediaNameForCode(m_mediaSize));
}

QString ZORVAK_PrintPageMitsu1::reason() const
{
    return PrintPageTexts::reason(ZORVAK_PrintPage::reason(), requiredModel(), mitsu_mediaNameForCode(m_mediaSize));
}

QStringList ZORVAK_PrintPageMitsu1::paperNames() const
{
    return mitsu_paperNamesForMulticutModes(availableMulticutModes().value_or(MitsuIndexSet{}));
}

quint64 ZORVAK_PrintPageMitsu1::selectedPaperIndex() const
{
    return PaperSelection::indexOf(availableMulticutModes(), m_multicut.load());
}

void ZORVAK_PrintPageMitsu1::setSelectedPaperIndex(quint64 index)
{
    const std::optional<quint64> mode = PaperSelection::modeAt(availableMulticutModes(), index);
    if (mode && *mode != m_multicut)
        setMulticut(*mode);
}

QSet<QString> ZORVAK_PrintPageMitsu1::keyPathsForValuesAffectingSelectedPaperIndex()
{
    return PaperSelection::keyPathsForValuesAffectingSelectedPaperIndex();
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

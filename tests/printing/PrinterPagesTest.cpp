#include "printing/pages/PaperSelection.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

struct Ticket {
    QVariant printer;
    QVariant mediaType;
    QVariant cutInHalf;
    qint64 printingMode = 0;
    qint64 lamination = 0;

    QVariantMap dictionary() const
    {
        return {{QStringLiteral("printer"), printer},
                {QStringLiteral("mediaSettings"), QVariantMap{{QStringLiteral("mediaType"), mediaType}, {QStringLiteral("cutInHalf"), cutInHalf}}},
                {QStringLiteral("mitsubishiSettings"),
                 QVariantMap{{QStringLiteral("printingMode"), printingMode}, {QStringLiteral("lamination"), lamination}}}};
    }
};

const QDateTime SomeDate = QDateTime::fromSecsSinceEpoch(0);

} // namespace

TEST(MitsubishiPage, cutTableGivesNamesAndSizesPerPrinter)
{
    struct Row {
        quint64 code;
        const char* printName;
        quint64 high57, highOther, wide57, wideOther;
    };
    const Row rows[] = {
        {1, "6 x 4 (x2)", 2488, 2730, 1852, 1864},      {5, "6 x 2 (x2)", 1226, 1228, 1852, 1864},
        {16, "5 x 3.5", 1076, 1076, 1550, 1864},        {32, "5 x 5", 1527, 1524, 1550, 1568},
        {64, "5 x 7", 2128, 2128, 1550, 1568},          {128, "6 x 4", 1226, 1228, 1852, 1864},
        {256, "6 x 6", 1827, 1820, 1852, 1864},         {512, "6 x 8", 2428, 2422, 1852, 1864},
        {1024, nullptr, 2568, 2568, 1852, 1864},        {2048, "6 x 9", 2729, 2729, 1852, 1864},
        {4232, "6 x 14 Panorama", 4232, 4232, 1852, 1864}, {6036, "6 x 20 Panorama", 6036, 6036, 1852, 1864},
        {0, nullptr, 0, 0, 1852, 1864},                 {2, nullptr, 0, 0, 1852, 1864},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(mitsu_printNameForMulticut(row.code), QString::fromLatin1(row.printName));
        EXPECT_EQ(mitsu_printNameForMulticut(row.code).isNull(), row.printName == nullptr);
        for (const quint64 printer : {57, 56, 47}) {
            ZORVAK_PrintPageMitsu1 page;
            page.setPrinterModel(printer);
            page.setMulticut(row.code);
            const quint64 high = printer == 57 ? row.high57 : row.highOther;
            const quint64 wide = printer == 57 ? row.wide57 : row.wideOther;
            EXPECT_EQ(page.pixelsHigh(), high);
            EXPECT_EQ(page.pixelsWide(), wide);
            EXPECT_EQ(page.outputSize(), QSizeF(wide, high));
            EXPECT_EQ(page.outputResolution(), QSizeF(300, 300));
        }
    }
    EXPECT_EQ(mitsu_paperNamesForMulticutModes({6036, 1024, 1, 3}), QStringList({"6 x 4 (x2)", "6 x 20 Panorama"}));
    EXPECT_TRUE(mitsu_paperNamesForMulticutModes({}).isEmpty());

    const std::pair<quint8, const char*> media[] = {{1, "5 x 3.5"}, {2, "6 x 4"}, {4, "5 x 7"}, {5, "6 x 9"}, {15, "6 x 8"}, {3, nullptr}, {0, nullptr}};
    for (const auto& [code, name] : media)
        EXPECT_EQ(mitsu_mediaNameForCode(code), QString::fromLatin1(name)) << int(code);
}

TEST(MitsubishiPage, oldTicketChoosesModelMediaAndCut)
{
    struct Case {
        Ticket ticket;
        QString model;
        quint8 media;
        quint64 multicut;
        QString reason;
    };
    const QString d90 = QStringLiteral("Mitsubishi CP-D90DW");
    const QString d80 = QStringLiteral("Mitsu CP-D80DW [BETA]");
    const QString d70 = QStringLiteral("Mitsu CP-D70DW [BETA-may not work]");
    const QString unsupported = QStringLiteral("Unsupported Printer/Media");
    const Case cases[] = {
        {{57, 4, 5}, d90, 15, 4232, QStringLiteral("No Mitsubishi CP-D90DW with 6 x 8 media")},
        {{47, 4, 5}, d70, 15, 0, {}},
        {{57, 1, 0}, d90, 1, 16, {}},
        {{57, 2, 1}, d90, 4, 32, {}},
        {{57, 2, 2}, d90, 4, 64, {}},
        {{57, 3, 2}, d90, 2, 1, {}},
        {{57, 3, 7}, d90, 2, 128, {}},
        {{57, 5, 3}, d90, 5, 1024, {}},
        {{57, 5, 9}, d90, 5, 256, {}},
        {{56, 1, 2}, d80, 4, 64, {}},
        {{56, 1, 3}, d80, 4, 0, {}},
        {{56, 2, 4}, d80, 15, 1, {}},
        {{56, 3, 4}, d80, 0, 0, unsupported},
        {{57, 6, 2}, d90, 0, 0, unsupported},
        {{58, 1, 2}, QString(), 0, 0, unsupported},
        {{QStringLiteral("57"), QStringLiteral("4"), SomeDate}, d90, 15, 256, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticket.dictionary().value(QStringLiteral("printer")).toString().toStdString());
        const auto page = ZORVAK_PrintPageMitsu1::initWithOLDKOVA(c.ticket.dictionary());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->requiredModel(), c.model);
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_EQ(page->multicut(), c.multicut);
        if (!c.reason.isNull()) {
            EXPECT_EQ(page->reason(), c.reason);
        }
    }

    const auto page = ZORVAK_PrintPageMitsu1::initWithOLDKOVA(Ticket{57, 4, 0, 2, 2}.dictionary());
    EXPECT_EQ(page->quality(), 10);
    EXPECT_EQ(page->overcoat(), 2);
    EXPECT_EQ(page->description(), "Mitsubishi CP-D90DW 6 x 6, Automatic, Matte\n( 6 x 8 media )");
    EXPECT_EQ(page->mediaName(), "( 6 x 8 media )");
    EXPECT_EQ(ZORVAK_PrintPageMitsu1::initWithOLDKOVA(QStringLiteral("no ticket")), nullptr);

    page->setJobID(7);
    const auto copy = std::static_pointer_cast<ZORVAK_PrintPageMitsu1>(page->copyWithZone());
    EXPECT_EQ(copy->description(), "(null) 6 x 6, Automatic, Matte\n( 6 x 8 media )");
    EXPECT_EQ(copy->jobID(), 0);
}

TEST(DNPPage, oldTicketChoosesModelMediaMulticutAndCutMode)
{
    struct Case {
        Ticket ticket;
        QString model;
        qint32 media, multicut, cutMode;
    };
    const Case cases[] = {
        {{45, 1, 0}, QStringLiteral("DNP DS40"), 20, 1, 0},
        {{48, 3, 2}, QStringLiteral("DNP DS-RX1"), 21, 1, 0},
        {{54, 2, 2}, QStringLiteral("DNP DP-DS620"), 30, 2, 120},
        {{54, 4, 2}, QStringLiteral("DNP DP-DS620"), 31, 12, 0},
        {{54, 4, 3}, QStringLiteral("DNP DP-DS620"), 31, 4, 120},
        {{45, 5, 4}, QStringLiteral("DNP DS40"), 40, 2, 0},
        {{45, 5, 7}, QStringLiteral("DNP DS40"), 40, 5, 0},
        {{46, 1, 6}, QStringLiteral("DNP DS80"), 50, 11, 0},
        {{46, 1, 1}, QStringLiteral("DNP DS80"), 50, 6, 0},
        {{55, 2, 5}, QStringLiteral("DNP DP-DS820"), 51, 20, 0},
        {{55, 2, 12}, QStringLiteral("DNP DP-DS820"), 51, 21, 0},
        {{55, 2, 13}, QStringLiteral("DNP DP-DS820"), 51, 7, 0},
        {{46, 3, 2}, QStringLiteral("DNP DS80"), 0, 0, 0},
        {{56, 1, 2}, QStringLiteral("DNP DP-DS80D"), 0, 0, 0},
        {{57, 1, 2}, QString(), 0, 0, 0},
        {{45, QVariantList{1}, 2}, QStringLiteral("DNP DS40"), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticket.dictionary().value(QStringLiteral("printer")).toString().toStdString());
        const auto page = ZORVAK_PrintPage_DNP::initWithOLDKOVA(c.ticket.dictionary());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->requiredModel(), c.model);
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_EQ(page->multicut(), c.multicut);
        EXPECT_EQ(page->cutMode(), c.cutMode);
        EXPECT_EQ(page->properties().contains(QStringLiteral("reason")), c.media == 0);
    }
    const auto page = ZORVAK_PrintPage_DNP::initWithOLDKOVA(Ticket{45, 2, 0, 2, 2}.dictionary());
    EXPECT_EQ(page->overcoat(), 1);
    EXPECT_EQ(page->quality(), 10);
    EXPECT_EQ(page->description(), "DNP DS40 6 x 4, High Quality, Matte\n( 6x4 media )");

    QVariantMap odd = Ticket{45, 1, 0}.dictionary();
    odd.insert(QStringLiteral("mediaSettings"), QStringLiteral("6x4"));
    EXPECT_EQ(ZORVAK_PrintPage_DNP::initWithOLDKOVA(odd)->reason(), "Unsupported Printer/Media");
}

TEST(DNPPage, sizesFollowMulticutAndQuality)
{
    struct Case {
        qint32 multicut, quality;
        QSizeF size, resolution;
        quint32 headWidth;
    };
    const Case cases[] = {
        {2, 0, {1844, 1240}, {300, 300}, 1920},  {2, 10, {1844, 2480}, {300, 600}, 1920},
        {6, 20, {2448, 3036}, {300, 300}, 2560}, {6, 30, {2448, 6072}, {300, 600}, 2560},
        {0, 10, {0, 0}, {300, 600}, 1920},       {99, 0, {0, 0}, {300, 300}, 1920},
    };
    for (const Case& c : cases) {
        ZORVAK_PrintPage_DNP page;
        page.setMulticut(c.multicut);
        page.setQuality(c.quality);
        EXPECT_EQ(page.outputSize(), c.size) << c.multicut << " " << c.quality;
        EXPECT_EQ(page.outputResolution(), c.resolution) << c.multicut << " " << c.quality;
        EXPECT_EQ(page.headWidth(), c.headWidth) << c.multicut << " " << c.quality;
    }
}

TEST(PrinterPages, textsAndPaperSelection)
{
    ZORVAK_PrintPage_DNP dnp;
    EXPECT_EQ(dnp.reason(), "No printer with missing media");
    EXPECT_EQ(dnp.mediaName(), "( missing media )");
    dnp.setReason(QString());
    dnp.configureNamedPaper(QStringLiteral("dnp6x8"));
    dnp.setRequiredModel(QStringLiteral("DS620"));
    EXPECT_EQ(dnp.reason(), "No DS620 with 6x8 media");
    EXPECT_EQ(dnp.description(), "DS620 6 x 8, High Speed, Glossy\n( 6x8 media )");

    const auto mitsu = ZORVAK_PrintPage::printPageForModel(QStringLiteral("Mitsubishi CP-D90DW"));
    EXPECT_EQ(mitsu->reason(), "Unsupported Printer/Media");
    mitsu->configureNamedPaper(QStringLiteral("Cut6x8"));
    EXPECT_EQ(mitsu->reason(), "No Mitsubishi CP-D90DW with 6 x 8 media");
    EXPECT_EQ(mitsu->description(), "Mitsubishi CP-D90DW 6 x 8, Fine, Glossy\n( 6 x 8 media )");

    // No modes are offered: nothing to name or select.
    ZORVAK_PrintPageMitsu1 page;
    page.setMulticut(128);
    page.setSelectedPaperIndex(0);
    dnp.setSelectedPaperIndex(0);
    EXPECT_EQ(page.multicut(), 128u);
    EXPECT_EQ(dnp.multicut(), 4);
    EXPECT_EQ(page.selectedPaperIndex(), 0u);
    EXPECT_EQ(dnp.selectedPaperIndex(), 0u);
    EXPECT_TRUE(page.paperNames().isEmpty());
    EXPECT_TRUE(dnp.paperNames().isEmpty());
    EXPECT_EQ(ZORVAK_PrintPage_DNP::keyPathsForValuesAffectingSelectedPaperIndex(), QSet<QString>{"multicut"});

    const std::optional<DNPIndexSet> modes = DNPIndexSet{2, 4, 12};
    EXPECT_EQ(PaperSelection::indexOf(modes, 12), 2u);
    EXPECT_EQ(PaperSelection::indexOf(modes, 5), PaperSelection::NotFound);
    EXPECT_EQ(PaperSelection::modeAt(modes, 1), 4u);
    EXPECT_EQ(PaperSelection::modeAt(modes, 3), std::nullopt);
}

#include "printing/dnp/DNPMediaTables.h"
#include "printing/pages/PaperSelection.h"
#include "printing/pages/ZORVAK_PrintPageMitsu1.h"
#include "printing/pages/ZORVAK_PrintPage_DNP.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

// An old ticket's printer settings: printer, media type, cut selector, printing mode, lamination.
QVariantMap ticket(const QVariant& printer, const QVariant& mediaType, const QVariant& cutInHalf, qint64 mode = 0, qint64 lamination = 0)
{
    return {{QStringLiteral("printer"), printer},
            {QStringLiteral("mediaSettings"), QVariantMap{{QStringLiteral("mediaType"), mediaType}, {QStringLiteral("cutInHalf"), cutInHalf}}},
            {QStringLiteral("mitsubishiSettings"), QVariantMap{{QStringLiteral("printingMode"), mode}, {QStringLiteral("lamination"), lamination}}}};
}

} // namespace

TEST(MitsubishiPage, cutTableGivesNamesAndSizesPerPrinter)
{
    struct Row {
        quint64 code;
        const char* printName;
        quint64 high57, highOther, wide57, wideOther;
    };
    const Row rows[] = {
        {1, "6 x 4 (x2)", 2488, 2730, 1852, 1864},  {5, "6 x 2 (x2)", 1226, 1228, 1852, 1864}, {16, "5 x 3.5", 1076, 1076, 1550, 1864},
        {32, "5 x 5", 1527, 1524, 1550, 1568},      {64, "5 x 7", 2128, 2128, 1550, 1568},     {128, "6 x 4", 1226, 1228, 1852, 1864},
        {256, "6 x 6", 1827, 1820, 1852, 1864},     {512, "6 x 8", 2428, 2422, 1852, 1864},    {1024, nullptr, 2568, 2568, 1852, 1864},
        {2048, "6 x 9", 2729, 2729, 1852, 1864},    {4232, "6 x 14 Panorama", 4232, 4232, 1852, 1864},
        {6036, "6 x 20 Panorama", 6036, 6036, 1852, 1864}, {0, nullptr, 0, 0, 1852, 1864}, {2, nullptr, 0, 0, 1852, 1864},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(mitsu_printNameForMulticut(row.code), QString::fromLatin1(row.printName));
        EXPECT_EQ(mitsu_printNameForMulticut(row.code).isNull(), row.printName == nullptr);
        for (const quint64 printer : {57, 56, 47}) {
            ZORVAK_PrintPageMitsu1 page;
            page.setPrinterModel(printer);
            page.setMulticut(row.code);
            const bool d90 = printer == 57;
            EXPECT_EQ(page.outputSize(), QSizeF(d90 ? row.wide57 : row.wideOther, d90 ? row.high57 : row.highOther));
            EXPECT_EQ(page.outputResolution(), QSizeF(300, 300));
        }
    }
    EXPECT_EQ(mitsu_paperNamesForMulticutModes({6036, 1024, 1, 3}), QStringList({"6 x 4 (x2)", "6 x 20 Panorama"}));
    const std::pair<quint8, const char*> media[] = {{1, "5 x 3.5"}, {2, "6 x 4"}, {4, "5 x 7"}, {5, "6 x 9"}, {15, "6 x 8"}, {3, nullptr}};
    for (const auto& [code, name] : media)
        EXPECT_EQ(mitsu_mediaNameForCode(code), QString::fromLatin1(name)) << int(code);
}

TEST(MitsubishiPage, oldTicketChoosesModelMediaAndCut)
{
    struct Case {
        QVariantMap ticket;
        const char* model;
        quint8 media;
        quint64 multicut;
    };
    const Case cases[] = {
        {ticket(57, 4, 5), "Mitsubishi CP-D90DW", 15, 4232}, {ticket(47, 4, 5), "Mitsu CP-D70DW [BETA-may not work]", 15, 0},
        {ticket(57, 1, 0), "Mitsubishi CP-D90DW", 1, 16},    {ticket(57, 2, 1), "Mitsubishi CP-D90DW", 4, 32},
        {ticket(57, 3, 2), "Mitsubishi CP-D90DW", 2, 1},     {ticket(57, 5, 9), "Mitsubishi CP-D90DW", 5, 256},
        {ticket(56, 1, 2), "Mitsu CP-D80DW [BETA]", 4, 64},   {ticket(56, 1, 3), "Mitsu CP-D80DW [BETA]", 4, 0},
        {ticket(56, 2, 4), "Mitsu CP-D80DW [BETA]", 15, 1},   {ticket(56, 3, 4), "Mitsu CP-D80DW [BETA]", 0, 0},
        {ticket(58, 1, 2), nullptr, 0, 0},
        {ticket(QStringLiteral("57"), QStringLiteral("4"), QDateTime::fromSecsSinceEpoch(0)), "Mitsubishi CP-D90DW", 15, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        const auto page = ZORVAK_PrintPageMitsu1::initWithOLDKOVA(c.ticket);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->requiredModel(), QString::fromLatin1(c.model));
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_EQ(page->multicut(), c.multicut);
        EXPECT_EQ(page->properties().value(QStringLiteral("reason")).toString(), c.media ? "" : "Unsupported Printer/Media");
    }
    const auto page = ZORVAK_PrintPageMitsu1::initWithOLDKOVA(ticket(57, 4, 0, 2, 2));
    EXPECT_EQ(page->description(), "Mitsubishi CP-D90DW 6 x 6, Automatic, Matte\n( 6 x 8 media )");
    EXPECT_EQ(ZORVAK_PrintPageMitsu1::initWithOLDKOVA(QStringLiteral("no ticket")), nullptr);
}

TEST(DNPPage, oldTicketChoosesModelMediaMulticutAndCutMode)
{
    struct Case {
        QVariantMap ticket;
        const char* model;
        qint32 media, multicut, cutMode;
    };
    const Case cases[] = {
        {ticket(45, 1, 0), "DNP DS40", 20, 1, 0},      {ticket(48, 3, 2), "DNP DS-RX1", 21, 1, 0},
        {ticket(54, 2, 2), "DNP DP-DS620", 30, 2, 120}, {ticket(54, 4, 2), "DNP DP-DS620", 31, 12, 0},
        {ticket(54, 4, 3), "DNP DP-DS620", 31, 4, 120}, {ticket(45, 5, 4), "DNP DS40", 40, 2, 0},
        {ticket(45, 5, 7), "DNP DS40", 40, 5, 0},      {ticket(46, 1, 6), "DNP DS80", 50, 11, 0},
        {ticket(55, 2, 12), "DNP DP-DS820", 51, 21, 0}, {ticket(55, 2, 13), "DNP DP-DS820", 51, 7, 0},
        {ticket(46, 3, 2), "DNP DS80", 0, 0, 0},       {ticket(56, 1, 2), "DNP DP-DS80D", 0, 0, 0},
        {ticket(57, 1, 2), nullptr, 0, 0, 0},          {ticket(45, QVariantList{1}, 2), "DNP DS40", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        const auto page = ZORVAK_PrintPage_DNP::initWithOLDKOVA(c.ticket);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->requiredModel(), QString::fromLatin1(c.model));
        EXPECT_EQ(page->mediaSize(), c.media);
        EXPECT_EQ(page->multicut(), c.multicut);
        EXPECT_EQ(page->cutMode(), c.cutMode);
        EXPECT_EQ(page->properties().value(QStringLiteral("reason")).toString(), c.media ? "" : "Unsupported Printer/Media");
    }
    QVariantMap odd = ticket(45, 2, 0, 2, 2);
    EXPECT_EQ(ZORVAK_PrintPage_DNP::initWithOLDKOVA(odd)->description(), "DNP DS40 6 x 4, High Quality, Matte\n( 6x4 media )");
    odd.insert(QStringLiteral("mediaSettings"), QStringLiteral("6x4"));
    EXPECT_EQ(ZORVAK_PrintPage_DNP::initWithOLDKOVA(odd)->mediaSize(), 0);
}

TEST(DNPPage, sizesFollowMulticutAndQuality)
{
    struct Case {
        qint32 multicut, quality;
        QSizeF size, resolution;
        quint32 headWidth;
    };
    const Case cases[] = {
        {2, 0, {1844, 1240}, {300, 300}, 1920},  {2, 10, {1844, 2480}, {300, 600}, 1920}, {6, 20, {2448, 3036}, {300, 300}, 2560},
        {6, 30, {2448, 6072}, {300, 600}, 2560}, {0, 10, {0, 0}, {300, 600}, 1920},       {99, 0, {0, 0}, {300, 300}, 1920},
    };
    for (const Case& c : cases) {
        ZORVAK_PrintPage_DNP page;
        page.setMulticut(c.multicut);
        page.setQuality(c.quality);
        SCOPED_TRACE(testing::Message() << c.multicut << " " << c.quality);
        EXPECT_EQ(page.outputSize(), c.size);
        EXPECT_EQ(page.outputResolution(), c.resolution);
        EXPECT_EQ(page.headWidth(), c.headWidth);
    }
}

TEST(PrinterPages, reasonsAndPaperSelection)
{
    ZORVAK_PrintPage_DNP dnp;
    EXPECT_EQ(dnp.reason(), "No printer with missing media");
    EXPECT_EQ(dnp.mediaName(), "( missing media )");
    dnp.configureNamedPaper(QStringLiteral("dnp6x8"));
    dnp.setRequiredModel(QStringLiteral("DS620"));
    EXPECT_EQ(dnp.reason(), "No DS620 with 6x8 media");

    const auto mitsu = ZORVAK_PrintPage::printPageForModel(QStringLiteral("Mitsubishi CP-D90DW"));
    EXPECT_EQ(mitsu->reason(), "Unsupported Printer/Media");
    mitsu->configureNamedPaper(QStringLiteral("Cut6x8"));
    EXPECT_EQ(mitsu->reason(), "No Mitsubishi CP-D90DW with 6 x 8 media");

    // No modes are offered, so nothing is named or selected.
    ZORVAK_PrintPageMitsu1 page;
    page.setMulticut(128);
    page.setSelectedPaperIndex(0);
    dnp.setSelectedPaperIndex(0);
    EXPECT_EQ(page.multicut() + quint64(dnp.multicut()), 128u + 4u);
    EXPECT_EQ(page.selectedPaperIndex() + dnp.selectedPaperIndex(), 0u);
    EXPECT_TRUE(page.paperNames().isEmpty() && dnp.paperNames().isEmpty());
    const std::optional<DNPIndexSet> modes = DNPIndexSet{2, 4, 12};
    EXPECT_EQ(PaperSelection::indexOf(modes, 12), 2u);
    EXPECT_EQ(PaperSelection::indexOf(modes, 5), PaperSelection::NotFound);
    EXPECT_EQ(PaperSelection::modeAt(modes, 1), 4u);
    EXPECT_EQ(PaperSelection::modeAt(modes, 3), std::nullopt);
}

// An undefined multicut names no paper: the description leaves the paper empty rather
// than showing a missing name.
TEST(DNPPage, descriptionNamesTheMulticutsPaperOrNone)
{
    const std::pair<qint32, const char*> cases[] = {
        {0, "DS620 , High Speed, Glossy\n( 6x4 media )"},
        {1, "DS620 5 x 3.5, High Speed, Glossy\n( 6x4 media )"},
        {2, "DS620 6 x 4, High Speed, Glossy\n( 6x4 media )"},
        {23, "DS620 , High Speed, Glossy\n( 6x4 media )"},
    };
    for (const auto& [multicut, description] : cases) {
        SCOPED_TRACE(multicut);
        ZORVAK_PrintPage_DNP page;
        page.setRequiredModel(QStringLiteral("DS620"));
        page.setMediaSize(30);
        page.setMulticut(multicut);
        EXPECT_EQ(page.description(), description);
        EXPECT_FALSE(dnp_paperNameForMulticut(multicut).isNull());
    }
}
